#pragma once
// A small valid project: a square of four points and lines with one fill inside.

namespace quillet::testing {

inline constexpr const char* SQUARE_FILE =
    "*--------------------*\r\n|Tavenor Quillet File|\r\n*--------------------*\r\n\r\n"
    "<Punten num=4>\r\n100;100\r\n200;100\r\n100;200\r\n200;200\r\n</Punten>\r\n\r\n"
    "<Lijnen num=4>\r\n(100;100)---(200;100)\r\n(100;100)---(100;200)\r\n"
    "(100;200)---(200;200)\r\n(200;200)---(200;100)\r\n</Lijnen>\r\n\r\n"
    "<FloodFill num=1>\r\n255 @ (150;150)\r\n</FloodFill>\r\n\r\n"
    "Dit bestand is gegenereerd door Tavenor Quillet.\r\n"
    "Als u ook maar het kleinste detail veranderd of verwijderd van dit bestand,\r\n"
    "zal het niet meer te openen zijn met Tavenor Quillet.\r\n"
    "Alzo spreek ik, Ewout Bramlinck, oprichter en beheerder van Tavenor Corporation.\r\n";

} // namespace quillet::testing
