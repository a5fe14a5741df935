#!/usr/bin/env python3
"""Checks the cells of two_uniform_b.inc: every vertex closes exactly, is
edge-to-edge, has one of the two named types, the cell covers the plane once,
the tiling has exactly two vertex orbits, and the suffixed pairs are the ones
their names say.

Usage: check_two_uniform_b.py [FILE.inc]     (default: next to this script)
       check_two_uniform_b.py --self-test    (each fault class must be caught)
"""
import ast
import math
import os
import re
import sys

EPS = 1e-7
CELLS = 7  # translates -7..7 in both directions: a 15 x 15 block of cells


class InputError(Exception):
    pass


# ---------------------------------------------------------------- reading

def c_value(text, line):
    """Evaluates an initializer expression as C++ would (int / int truncates),
    with r2 and r3 the doubles the including file defines."""
    try:
        tree = ast.parse(text.strip(), mode="eval")
    except SyntaxError:
        raise InputError(f"line {line}: cannot read expression '{text.strip()}'")

    def ev(node):
        if isinstance(node, ast.Expression):
            return ev(node.body)
        if isinstance(node, ast.Constant) and type(node.value) in (int, float):
            return node.value
        if isinstance(node, ast.Name) and node.id in ("r2", "r3"):
            return math.sqrt(2.0) if node.id == "r2" else math.sqrt(3.0)
        if isinstance(node, ast.UnaryOp) and isinstance(node.op, (ast.USub, ast.UAdd)):
            v = ev(node.operand)
            return -v if isinstance(node.op, ast.USub) else v
        if isinstance(node, ast.BinOp) and isinstance(node.op, (ast.Add, ast.Sub, ast.Mult, ast.Div)):
            x, y = ev(node.left), ev(node.right)
            if isinstance(node.op, ast.Add):
                return x + y
            if isinstance(node.op, ast.Sub):
                return x - y
            if isinstance(node.op, ast.Mult):
                return x * y
            if y == 0:
                raise InputError(f"line {line}: division by zero in '{text.strip()}'")
            if isinstance(x, int) and isinstance(y, int):
                q = abs(x) // abs(y)
                return q if (x >= 0) == (y >= 0) else -q
            return x / y
        raise InputError(f"line {line}: unsupported expression '{text.strip()}'")

    return ev(tree)


def finite(v, line):
    v = float(v)
    if not math.isfinite(v) or abs(v) > 1e6:
        raise InputError(f"line {line}: value {v} is not a finite coordinate of sensible size")
    return v


def split_top(text, line):
    """Splits a braced list body at its top-level commas."""
    pieces, depth, cur = [], 0, []
    in_str = False
    for ch in text:
        if in_str:
            cur.append(ch)
            if ch == '"':
                in_str = False
            continue
        if ch == '"':
            in_str = True
        elif ch in "({":
            depth += 1
        elif ch in ")}":
            depth -= 1
            if depth < 0:
                raise InputError(f"line {line}: unbalanced brackets")
        if ch == "," and depth == 0:
            pieces.append("".join(cur))
            cur = []
        else:
            cur.append(ch)
    if depth != 0 or in_str:
        raise InputError(f"line {line}: unbalanced brackets or quotes")
    if "".join(cur).strip():
        pieces.append("".join(cur))
    return pieces


def braced(text, line):
    t = text.strip()
    if not (t.startswith("{") and t.endswith("}")):
        raise InputError(f"line {line}: expected a braced list, got '{t[:40]}'")
    return t[1:-1]


def read_rows(path):
    try:
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
    except (OSError, UnicodeDecodeError) as e:
        raise InputError(f"cannot read {path}: {e}")
    rows, comment = [], None
    for no, raw in enumerate(lines, 1):
        s = raw.strip()
        if not s:
            continue
        if s.startswith("//"):
            comment = s[2:].strip()
            continue
        body = s[:-1] if s.endswith(",") else s
        fields = split_top(braced(body, no), no)
        if len(fields) != 6:
            raise InputError(f"line {no}: expected name, ax, ay, bx, by and faces; got {len(fields)} fields")
        m = re.fullmatch(r'\s*"([^"]*)"\s*', fields[0])
        if not m:
            raise InputError(f"line {no}: the name must be a string literal")
        name = m.group(1)
        ax, ay, bx, by = (finite(c_value(x, no), no) for x in fields[1:5])
        faces = []
        for ftext in split_top(braced(fields[5], no), no):
            pieces = split_top(braced(ftext, no), no)
            if len(pieces) != 4:
                raise InputError(f"line {no}: a face needs {{n, x, y, cornerDeg}}: '{ftext.strip()}'")
            n = c_value(pieces[0], no)
            if not isinstance(n, int) or not 3 <= n <= 60:
                raise InputError(f"line {no}: corner count must be an integer from 3 to 60, got '{pieces[0].strip()}'")
            faces.append((n,) + tuple(finite(c_value(p, no), no) for p in pieces[1:]))
        if len(faces) > 500:
            raise InputError(f"line {no}: {len(faces)} faces in one cell; keep cells small")
        if not faces:
            raise InputError(f"line {no}: {name} has no faces")
        rows.append({"name": name, "a": (ax, ay), "b": (bx, by), "faces": faces,
                     "comment": comment, "line": no})
        comment = None
    return rows


# ---------------------------------------------------------------- names

def parse_name(name):
    """'[3^3.4^2; 4^4]1' -> ([(3,3,3,4,4), (4,4,4,4)], '1')"""
    m = re.fullmatch(r"\[([0-9^.]+); ([0-9^.]+)\]([12]?)", name)
    if not m:
        raise InputError(f"'{name}' is not of the form [type; type] with an optional suffix 1 or 2")
    types = []
    for t in m.group(1, 2):
        seq = []
        for part in t.split("."):
            base, _, exp = part.partition("^")
            if not base.isdigit() or (exp and not exp.isdigit()):
                raise InputError(f"'{name}': cannot read vertex type '{t}'")
            seq += [int(base)] * (int(exp) if exp else 1)
        types.append(canonical(seq))
    return types, m.group(3)


def canonical(seq):
    """Smallest rotation of the sequence or of its reverse."""
    seq = list(seq)
    cands = []
    for s in (seq, seq[::-1]):
        cands += [tuple(s[i:] + s[:i]) for i in range(len(s))]
    return min(cands)


def type_text(t):
    return ".".join(map(str, t))


# ---------------------------------------------------------------- geometry

def corners(n, cx, cy, deg):
    r = 0.5 / math.sin(math.pi / n)
    return [(cx + r * math.cos(math.radians(deg) + 2 * math.pi * k / n),
             cy + r * math.sin(math.radians(deg) + 2 * math.pi * k / n)) for k in range(n)]


def area(n):
    return n / (4 * math.tan(math.pi / n))


class Lattice:
    def __init__(self, a, b):
        self.a, self.b = a, b
        self.det = a[0] * b[1] - a[1] * b[0]

    def coords(self, p):
        return ((p[0] * self.b[1] - p[1] * self.b[0]) / self.det,
                (self.a[0] * p[1] - self.a[1] * p[0]) / self.det)

    def key(self, p):
        """Position modulo the lattice, as a hashable key."""
        u, v = self.coords(p)
        u -= math.floor(u + 1e-6)
        v -= math.floor(v + 1e-6)
        return (round(u * 1e5) % 100000, round(v * 1e5) % 100000)

    def is_vector(self, p):
        u, v = self.coords(p)
        return abs(u - round(u)) < 1e-6 and abs(v - round(v)) < 1e-6


class Face:
    def __init__(self, n, cx, cy, deg, tag):
        self.n, self.c, self.deg, self.tag = n, (cx, cy), deg, tag
        self.pts = corners(n, cx, cy, deg)
        self.r = 0.5 / math.sin(math.pi / n)

    def locate(self, p):
        """'corner' index, 'edge', 'inside' or None for a point."""
        for k, q in enumerate(self.pts):
            if math.hypot(p[0] - q[0], p[1] - q[1]) < EPS:
                return k
        inside = True
        for k in range(self.n):
            x0, y0 = self.pts[k]
            x1, y1 = self.pts[(k + 1) % self.n]
            cross = (x1 - x0) * (p[1] - y0) - (y1 - y0) * (p[0] - x0)
            if abs(cross) < EPS:
                t = (p[0] - x0) * (x1 - x0) + (p[1] - y0) * (y1 - y0)
                if -EPS < t < 1 + EPS:
                    return "edge"
            if cross < 0:
                inside = False
        return "inside" if inside else None


class Grid:
    """Buckets faces by the squares of side 1 their discs touch."""
    def __init__(self):
        self.cells = {}

    def add(self, f):
        x0, x1 = math.floor(f.c[0] - f.r - 1), math.floor(f.c[0] + f.r + 1)
        y0, y1 = math.floor(f.c[1] - f.r - 1), math.floor(f.c[1] + f.r + 1)
        for i in range(x0, x1 + 1):
            for j in range(y0, y1 + 1):
                self.cells.setdefault((i, j), []).append(f)

    def near(self, p):
        return self.cells.get((math.floor(p[0]), math.floor(p[1])), [])


def star(p, grid):
    """Faces at a point, in angular order, or the reason it is not a vertex
    of an edge-to-edge tiling."""
    sectors = []
    for f in grid.near(p):
        where = f.locate(p)
        if where is None:
            continue
        if where == "inside":
            return None, f"{p_txt(p)} lies inside a {f.n}-gon (overlap)"
        if where == "edge":
            return None, f"{p_txt(p)} lies on a side of a {f.n}-gon but is not its corner (not edge-to-edge)"
        nxt, prv = f.pts[(where + 1) % f.n], f.pts[(where - 1) % f.n]
        start = math.atan2(nxt[1] - p[1], nxt[0] - p[0])
        end = math.atan2(prv[1] - p[1], prv[0] - p[0])
        sectors.append((start % (2 * math.pi), (end - start) % (2 * math.pi), f))
    sectors.sort(key=lambda s: s[0])
    total = sum(s[1] for s in sectors)
    if abs(total - 2 * math.pi) > 1e-6:
        what = "gap" if total < 2 * math.pi else "overlap"
        return None, f"{p_txt(p)}: corners fill {math.degrees(total):.1f} degrees ({what})"
    for s, t in zip(sectors, sectors[1:] + sectors[:1]):
        d = (t[0] - (s[0] + s[1])) % (2 * math.pi)
        if min(d, 2 * math.pi - d) > 1e-6:
            return None, f"{p_txt(p)}: corners overlap and leave a gap"
    return [s[2] for s in sectors], None


def p_txt(p):
    return f"({p[0]:.4f}, {p[1]:.4f})"


# ---------------------------------------------------------------- one tiling

def check(row):
    name, a, b, listed = row["name"], row["a"], row["b"], row["faces"]
    types, _ = parse_name(name)
    notes = []
    if not row["comment"] or not row["comment"].startswith(name + ":"):
        notes.append("no '// name: how it was derived' comment above the row")
    return geometry(name, a, b, listed, types) + notes


def geometry(name, a, b, listed, types):
    fails = []
    lat = Lattice(a, b)
    if abs(lat.det) < 1e-9:
        return fails + ["the two translations are parallel"]

    cell_area = sum(area(f[0]) for f in listed)
    if abs(cell_area - abs(lat.det)) > 1e-6:
        fails.append(f"face area per cell {cell_area:.6f} differs from |a x b| = {abs(lat.det):.6f}")

    grid, faces = Grid(), []
    for i in range(-CELLS, CELLS + 1):
        for j in range(-CELLS, CELLS + 1):
            dx, dy = i * a[0] + j * b[0], i * a[1] + j * b[1]
            for k, (n, x, y, deg) in enumerate(listed):
                f = Face(n, x + dx, y + dy, deg, (k, i, j))
                faces.append(f)
                grid.add(f)

    # A point is checked only when every translate of every listed face that
    # could reach it was built.
    span = [(lat.coords(f[1:3]), 0.5 / math.sin(math.pi / f[0])) for f in listed]
    la, lb = math.hypot(*a), math.hypot(*b)

    def covered(p):
        u, v = lat.coords(p)
        for (fu, fv), r in span:
            du, dv = r * lb / abs(lat.det) + 1e-6, r * la / abs(lat.det) + 1e-6
            if not (-CELLS <= u - fu - du and u - fu + du <= CELLS
                    and -CELLS <= v - fv - dv and v - fv + dv <= CELLS):
                return False
        return True

    seen, per_cell, stars = set(), {}, {}
    for f in faces:
        for p in f.pts:
            key = (round(p[0] * 1e6), round(p[1] * 1e6))
            if key in seen or not covered(p):
                continue
            seen.add(key)
            around, why = star(p, grid)
            if why:
                fails.append(why)
                if len(fails) > 5:
                    return fails
                continue
            t = canonical([g.n for g in around])
            if t not in types:
                fails.append(f"{p_txt(p)} has type {type_text(t)}, not one of the name's")
                continue
            mk = lat.key(p)
            per_cell[mk] = t
            stars[mk] = (p, around)
    if fails:
        return fails

    # every corner of the listed faces must have been checked somewhere
    for n, x, y, deg in listed:
        for p in corners(n, x, y, deg):
            if lat.key(p) not in per_cell:
                return [f"corner {p_txt(p)} of a listed {n}-gon was never checked (cell too large for the region)"]
    counts = {t: sum(1 for v in per_cell.values() if v == t) for t in types}
    for t in types:
        if counts[t] == 0:
            fails.append(f"vertex type {type_text(t)} does not occur")
    if fails:
        return fails

    orbits = vertex_orbits(lat, listed, per_cell, stars)
    if orbits != 2:
        fails.append(f"{orbits} vertex orbit(s) under the tiling's symmetries, so not 2-uniform")

    fails += DISTINGUISH.get(name, lambda *_: [])(counts, types, faces, grid)
    return fails


def vertex_orbits(lat, listed, per_cell, stars):
    """Number of classes of vertices under all isometries of the tiling."""
    by_key = {}
    for k, (n, x, y, deg) in enumerate(listed):
        by_key[(n, lat.key((x, y)))] = (x, y, corners(n, x, y, deg))
    maps = []
    for r in range(12):
        c, s = math.cos(r * math.pi / 6), math.sin(r * math.pi / 6)
        maps.append((c, -s, s, c))
        maps.append((c, s, s, -c))

    def apply(m, p):
        return (m[0] * p[0] + m[1] * p[1], m[2] * p[0] + m[3] * p[1])

    def is_symmetry(m, v, w):
        if not (lat.is_vector(apply(m, lat.a)) and lat.is_vector(apply(m, lat.b))):
            return False
        for n, x, y, deg in listed:
            d = apply(m, (x - v[0], y - v[1]))
            c = (w[0] + d[0], w[1] + d[1])
            hit = by_key.get((n, lat.key(c)))
            if hit is None:
                return False
            p0 = corners(n, x, y, deg)[0]
            e = apply(m, (p0[0] - v[0], p0[1] - v[1]))
            q = (w[0] + e[0] - c[0] + hit[0], w[1] + e[1] - c[1] + hit[1])
            if not any(math.hypot(q[0] - h[0], q[1] - h[1]) < 1e-6 for h in hit[2]):
                return False
        return True

    keys = list(per_cell)
    parent = {k: k for k in keys}

    def root(k):
        while parent[k] != k:
            parent[k] = parent[parent[k]]
            k = parent[k]
        return k

    for i, k1 in enumerate(keys):
        for k2 in keys[i + 1:]:
            if per_cell[k1] != per_cell[k2] or root(k1) == root(k2):
                continue
            v, w = stars[k1][0], stars[k2][0]
            if any(is_symmetry(m, v, w) for m in maps):
                parent[root(k2)] = root(k1)
    return len({root(k) for k in keys})


# ---------------------------------------------------------------- what tells the pairs apart

def ratio(want):
    """The two types' vertex counts per cell must stand in the ratio given
    (first type of the name : second)."""
    def test(counts, types, faces, grid):
        got = (counts[types[0]], counts[types[1]])
        if got[0] * want[1] != got[1] * want[0]:
            return [f"vertex counts per cell {got[0]} : {got[1]}, expected the ratio {want[0]} : {want[1]}"]
        return []
    return test


def across_squares(want_pair, never_pair):
    """Looks at the two faces on opposite sides of each square; the pair
    want_pair must occur and never_pair must not."""
    def test(counts, types, faces, grid):
        seen = set()
        for f in faces:
            if f.n != 4 or abs(f.c[0]) > 8 or abs(f.c[1]) > 8:
                continue
            nb = []
            for k in range(4):
                p, q = f.pts[k], f.pts[(k + 1) % 4]
                mid = ((p[0] + q[0]) / 2, (p[1] + q[1]) / 2)
                out = (2 * mid[0] - f.c[0], 2 * mid[1] - f.c[1])
                probe = (mid[0] + (out[0] - mid[0]) * 0.01, mid[1] + (out[1] - mid[1]) * 0.01)
                nb.append(next((g.n for g in grid.near(probe) if g is not f and g.locate(probe) == "inside"), 0))
            seen.add(tuple(sorted((nb[0], nb[2]))))
            seen.add(tuple(sorted((nb[1], nb[3]))))
        fails = []
        if want_pair not in seen:
            fails.append(f"no square has a {want_pair[0]}-gon opposite a {want_pair[1]}-gon")
        if never_pair in seen:
            fails.append(f"a square has a {never_pair[0]}-gon opposite a {never_pair[1]}-gon")
        return fails
    return test


# Sources are in the rows' comments: two square rows per band is _1 (2 : 1),
# three rows _2 (1 : 1); in _1 hexagons face hexagons across the squares (pmm),
# in _2 they face the bow ties' triangles (cmm).
DISTINGUISH = {
    "[3^3.4^2; 4^4]1": ratio((2, 1)),
    "[3^3.4^2; 4^4]2": ratio((1, 1)),
    "[3.4^2.6; 3.6.3.6]1": across_squares((6, 6), (3, 6)),
    "[3.4^2.6; 3.6.3.6]2": across_squares((3, 6), (6, 6)),
}

EXPECTED = [
    "[3^3.4^2; 3.4.6.4]", "[3^3.4^2; 4^4]1", "[3^3.4^2; 4^4]2", "[3^2.4.3.4; 3.4.6.4]",
    "[3^2.6^2; 3.6.3.6]", "[3.4.3.12; 3.12^2]", "[3.4^2.6; 3.4.6.4]", "[3.4^2.6; 3.6.3.6]1",
    "[3.4^2.6; 3.6.3.6]2", "[3.4.6.4; 4.6.12]",
]


def run(path, out=print):
    try:
        rows = read_rows(path)
    except InputError as e:
        out(f"{path}: {e}")
        return False
    ok = True
    names = [r["name"] for r in rows]
    if names != EXPECTED:
        out(f"rows are {names}, expected {EXPECTED} in that order")
        ok = False
    for r in rows:
        try:
            fails = check(r)
        except InputError as e:
            fails = [str(e)]
        out(f"{r['name']}: " + ("ok" if not fails else "; ".join(fails)))
        ok = ok and not fails
    return ok


# ---------------------------------------------------------------- self test

def self_test(path):
    """Each fault class, planted in a copy of the real file, must make the
    named row fail with the expected words; the unchanged file must pass."""
    import tempfile
    text = open(path, encoding="utf-8").read()

    def first_face_dropped(t):
        return t.replace("{{4, 0.5, 0.5, 45}, ", "{", 1)

    mutations = [
        ("missing face", "[3^3.4^2; 4^4]1", first_face_dropped, "area"),
        ("face turned", "[3.4.3.12; 3.12^2]", lambda t: t.replace("{4, (2 + r3)/2, (2 + r3)/2, 45}", "{4, (2 + r3)/2, (2 + r3)/2, 30}", 1), "overlap"),
        ("face listed twice", "[3^2.6^2; 3.6.3.6]", lambda t: t.replace("{{6, 0, 0, 90},", "{{6, 0, 0, 90}, {6, r3, 0, 90},", 1), "overlap"),
        ("integer division", "[3.4^2.6; 3.6.3.6]1", lambda t: t.replace("{4, 1, (1 + 2*r3)/2, 45}}}", "{4, 1/2*2, (1 + 2*r3)/2, 45}}}", 1), "overlap"),
        ("wrong translation", "[3^3.4^2; 3.4.6.4]", lambda t: t.replace('"[3^3.4^2; 3.4.6.4]", 2 + r3, 0', '"[3^3.4^2; 3.4.6.4]", 2 + r3, 0.5', 1), "area"),
        ("suffixes swapped", "[3.4^2.6; 3.6.3.6]1", lambda t: t.replace('"[3.4^2.6; 3.6.3.6]1", 2, 0, 0, 1 + r3', '"[3.4^2.6; 3.6.3.6]1", 2, 0, 1, 1 + r3', 1), "opposite"),
        ("band heights swapped", "[3^3.4^2; 4^4]2", lambda t: t.replace("[3^3.4^2; 4^4]2", "@").replace("[3^3.4^2; 4^4]1", "[3^3.4^2; 4^4]2").replace("@", "[3^3.4^2; 4^4]1"), "ratio"),
        ("wrong vertex type in name", "[3^6; 3.6.3.6]", lambda t: t.replace("[3^2.6^2; 3.6.3.6]", "[3^6; 3.6.3.6]"), "not one of the name's"),
        ("three vertex orbits", "[3^3.4^2; 4^4]2", lambda t: t.replace("{4, 0.5, 2.5, 45}, {3, 0.5, (18 + r3)/6, 90}, {3, 1, (9 + r3)/3, 270}}}", "{4, 0.5, 2.5, 45}, {4, 0.5, 3.5, 45}, {3, 0.5, (24 + r3)/6, 90}, {3, 1, (12 + r3)/3, 270}}}", 1).replace('0.5, (6 + r3)/2, {{4, 0.5, 0.5, 45}', '0.5, (8 + r3)/2, {{4, 0.5, 0.5, 45}', 1), "vertex orbit"),
        ("bad input", None, lambda t: t.replace("{3, 1, r3/6, 90}", "{3, 1, r3/6 90}", 1), "face needs"),
        ("unreadable expression", None, lambda t: t.replace("{6, 0, r3/2, 0}", "{6, 0, sqrt(3)/2, 0}", 1), "unsupported"),
    ]
    good = True
    lines = []
    if not run(path, out=lines.append):
        print("self-test: the unchanged file does not pass:\n  " + "\n  ".join(lines))
        return False
    for what, row, mutate, words in mutations:
        changed = mutate(text)
        if changed == text:
            print(f"self-test: '{what}' did not apply to the file")
            good = False
            continue
        with tempfile.NamedTemporaryFile("w", suffix=".inc", delete=False) as tmp:
            tmp.write(changed)
        lines = []
        passed = run(tmp.name, out=lines.append)
        os.unlink(tmp.name)
        hit = [l for l in lines if words in l and (row is None or l.startswith(row) or words == "rows are")]
        if passed or not hit:
            print(f"self-test: '{what}' was not caught: " + " | ".join(lines))
            good = False
        else:
            print(f"self-test: '{what}' caught: {hit[0]}")
    return good


def main(argv):
    default = os.path.join(os.path.dirname(os.path.abspath(__file__)), "two_uniform_b.inc")
    if len(argv) > 1 and argv[1] == "--self-test":
        return 0 if self_test(argv[2] if len(argv) > 2 else default) else 1
    return 0 if run(argv[1] if len(argv) > 1 else default) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
