#!/usr/bin/env python3
"""Checks the cells in two_uniform_a.inc (or the .inc named on the command line).

For every row: the expressions are ones C++ evaluates as written (no integer
division), no face is listed twice modulo the translations, the cell's face area
equals |a x b|, and a patch of 15 x 15 cells is a tiling: around every vertex whose
faces all lie in the patch the corners fill 360 degrees without overlap, no face
touches the vertex except at a corner, no face centre lies in another face, and the
vertex types are the two of the name, both present. The symmetry group is found
from the cell (every isometry that maps the faces onto faces) and gives the
wallpaper group, the vertex orbits (exactly two: 2-uniform, not just two types),
the face and edge orbits, and the facts below, which tell the tilings that share
their vertex types apart. One line per tiling: "ok" or what failed.
"""
import ast
import math
import os
import sys

TOL = 1e-6
PATCH = 7  # translations -7..7 in both directions: 15 x 15 cells

# Facts each tiling must show. "group" and the face/edge orbit counts and groups of
# faces are from the literature (see the comments in the .inc); "per_cell" counts
# vertices of each type in one cell, worked out from the construction.
FACTS = {
    "[3^6; 3^4.6]1": {"group": "p6m", "per_cell": {"3^6": 2, "3^4.6": 6}},
    "[3^6; 3^4.6]2": {"group": "p6", "per_cell": {"3^6": 6, "3^4.6": 6}},
    "[3^6; 3^3.4^2]1": {"group": "pmm", "per_cell": {"3^6": 1, "3^3.4^2": 2}},
    "[3^6; 3^3.4^2]2": {"group": "cmm", "per_cell": {"3^6": 2, "3^3.4^2": 2}},
    "[3^6; 3^2.4.3.4]": {"group": "p6m", "per_cell": {"3^6": 1, "3^2.4.3.4": 6}},
    "[3^6; 3^2.4.12]": {"group": "p6m", "per_cell": {"3^6": 2, "3^2.4.12": 12}},
    "[3^6; 3^2.6^2]": {"group": "p6m", "per_cell": {"3^6": 1, "3^2.6^2": 6}},
    "[3^4.6; 3^2.6^2]": {"group": "cmm", "per_cell": {"3^4.6": 2, "3^2.6^2": 2}},
    "[3^3.4^2; 3^2.4.3.4]1": {"group": "p4g", "per_cell": {"3^3.4^2": 4, "3^2.4.3.4": 8},
                              "face_orbits": 4, "edge_orbits": 5,
                              "clusters": {3: {3}, 4: {1, 2}}},
    "[3^3.4^2; 3^2.4.3.4]2": {"group": "pgg", "per_cell": {"3^3.4^2": 4, "3^2.4.3.4": 4},
                              "face_orbits": 3, "edge_orbits": 6,
                              "clusters": {3: {4}, 4: {2}}},
}


class Bad(Exception):
    pass


# ---------------------------------------------------------------- reading the rows

def evaluate(text):
    """Value of a C++ initializer expression over r2 and r3; refuses int / int."""
    env = {"r2": math.sqrt(2.0), "r3": math.sqrt(3.0)}

    def ev(node):
        # returns (value, is_integer_typed)
        if isinstance(node, ast.Expression):
            return ev(node.body)
        if isinstance(node, ast.Constant) and isinstance(node.value, (int, float)):
            return float(node.value), isinstance(node.value, int)
        if isinstance(node, ast.Name) and node.id in env:
            return env[node.id], False
        if isinstance(node, ast.UnaryOp) and isinstance(node.op, (ast.USub, ast.UAdd)):
            v, i = ev(node.operand)
            return (-v if isinstance(node.op, ast.USub) else v), i
        if isinstance(node, ast.BinOp) and isinstance(node.op, (ast.Add, ast.Sub, ast.Mult, ast.Div)):
            (x, xi), (y, yi) = ev(node.left), ev(node.right)
            if isinstance(node.op, ast.Div):
                if xi and yi:
                    raise Bad("integer division in C++: %s" % text)
                return x / y, False
            v = x + y if isinstance(node.op, ast.Add) else x - y if isinstance(node.op, ast.Sub) else x * y
            return v, xi and yi
        raise Bad("not a number expression: %s" % text)
    try:
        tree = ast.parse(text.strip(), mode="eval")
    except SyntaxError:
        raise Bad("not a number expression: %s" % text)
    return ev(tree)[0]


def split_top(text):
    """Splits at the commas outside braces and parentheses."""
    parts, depth, cur = [], 0, ""
    for ch in text:
        if ch in "{(":
            depth += 1
        elif ch in "})":
            depth -= 1
        if ch == "," and depth == 0:
            parts.append(cur.strip())
            cur = ""
        else:
            cur += ch
    if cur.strip():
        parts.append(cur.strip())
    return parts


def read_rows(path):
    rows = []
    comment = None
    with open(path, encoding="utf-8") as f:
        for lineno, line in enumerate(f, 1):
            s = line.strip()
            if s.startswith("//"):
                comment = s
                continue
            if not s:
                continue
            if not (s.startswith('{"') and s.endswith("},")):
                raise Bad("line %d is neither a row nor a comment" % lineno)
            body = split_top(s[1:-2])
            name = body[0].strip('"')
            if len(body) != 6:
                raise Bad("%s: expected name, ax, ay, bx, by, faces" % name)
            rows.append((name, comment, lineno, body[1:5], body[5]))
            comment = None
    return rows


def parse_row(name, comment, numbers, faces_text):
    if comment is None or not comment.startswith("// %s: " % name) or len(comment) < len(name) + 20:
        raise Bad("no one-line comment '// %s: ...' above the row" % name)
    ax, ay, bx, by = (evaluate(t) for t in numbers)
    ft = faces_text.strip()
    if not (ft.startswith("{") and ft.endswith("}")):
        raise Bad("faces are not a braced list")
    faces = []
    for part in split_top(ft[1:-1]):
        if not (part.startswith("{") and part.endswith("}")):
            raise Bad("face is not braced: %s" % part)
        items = split_top(part[1:-1])
        if len(items) != 4 or not items[0].isdigit():
            raise Bad("face is not {n, x, y, cornerDeg}: %s" % part)
        n = int(items[0])
        if n < 3:
            raise Bad("face with %d corners" % n)
        faces.append((n, (evaluate(items[1]), evaluate(items[2])), evaluate(items[3])))
    return (ax, ay), (bx, by), faces


def vertex_types(name):
    """The two vertex types of a name like [3^6; 3^4.6]1 as canonical tuples."""
    inner = name[name.index("[") + 1:name.index("]")] if "[" in name else name
    types = []
    for t in inner.split(";"):
        seq = []
        for tok in t.strip().split("."):
            base, _, exp = tok.partition("^")
            seq += [int(base)] * (int(exp) if exp else 1)
        types.append((t.strip(), canonical(seq)))
    return types


def canonical(seq):
    seq = list(seq)
    cands = []
    for s in (seq, seq[::-1]):
        for i in range(len(s)):
            cands.append(tuple(s[i:] + s[:i]))
    return min(cands)


# ---------------------------------------------------------------- geometry

def corners(n, c, deg):
    r = 0.5 / math.sin(math.pi / n)
    return [(c[0] + r * math.cos(math.radians(deg + 360.0 * k / n)),
             c[1] + r * math.sin(math.radians(deg + 360.0 * k / n))) for k in range(n)]


def area(n):
    return n / (4.0 * math.tan(math.pi / n))


class Lattice:
    def __init__(self, a, b):
        self.a, self.b = a, b
        self.det = a[0] * b[1] - a[1] * b[0]
        if abs(self.det) < 1e-9:
            raise Bad("translations are parallel")

    def coords(self, p):
        return ((p[0] * self.b[1] - p[1] * self.b[0]) / self.det,
                (self.a[0] * p[1] - self.a[1] * p[0]) / self.det)

    def point(self, u, v):
        return (u * self.a[0] + v * self.b[0], u * self.a[1] + v * self.b[1])

    def key(self, p):
        """Class of p modulo the lattice."""
        u, v = self.coords(p)
        return (round((u - math.floor(u + 1e-7)) * 1e5) % 100000,
                round((v - math.floor(v + 1e-7)) * 1e5) % 100000)

    def contains(self, p):
        u, v = self.coords(p)
        return abs(u - round(u)) < TOL and abs(v - round(v)) < TOL


def same_angle(x, y, period):
    d = (x - y) % period
    return min(d, period - d) < 1e-4


class PointIndex:
    """Points merged within TOL, found through a grid."""

    def __init__(self):
        self.grid = {}
        self.points = []

    def find(self, p, add=True):
        gx, gy = int(math.floor(p[0] * 1000)), int(math.floor(p[1] * 1000))
        for dx in (-1, 0, 1):
            for dy in (-1, 0, 1):
                for i in self.grid.get((gx + dx, gy + dy), ()):
                    q = self.points[i]
                    if abs(q[0] - p[0]) < TOL and abs(q[1] - p[1]) < TOL:
                        return i
        if not add:
            return None
        self.points.append(p)
        self.grid.setdefault((gx, gy), []).append(len(self.points) - 1)
        return len(self.points) - 1


# ---------------------------------------------------------------- symmetry

def linear(kind, deg):
    t = math.radians(deg)
    if kind == "rot":
        return ((math.cos(t), -math.sin(t)), (math.sin(t), math.cos(t)))
    return ((math.cos(2 * t), math.sin(2 * t)), (math.sin(2 * t), -math.cos(2 * t)))


def apply(m, s, p):
    return (m[0][0] * p[0] + m[0][1] * p[1] + s[0], m[1][0] * p[0] + m[1][1] * p[1] + s[1])


def symmetries(lat, faces):
    """All (kind, degrees, matrix, shift) mapping the tiling onto itself, one shift
    per class modulo the lattice."""
    table = {}
    for n, c, deg in faces:
        table[(n, lat.key(c))] = deg
    counts = {}
    for n, _, _ in faces:
        counts[n] = counts.get(n, 0) + 1
    ref = min(faces, key=lambda f: (counts[f[0]], -f[0]))
    targets = [f for f in faces if f[0] == ref[0]]
    found = []
    for kind, steps, step in (("rot", 24, 15.0), ("ref", 48, 7.5)):
        for k in range(steps):
            deg = k * step
            m = linear(kind, deg)
            if not (lat.contains(apply(m, (0, 0), lat.a)) and lat.contains(apply(m, (0, 0), lat.b))):
                continue
            shifts = {}
            for t in targets:
                mc = apply(m, (0, 0), ref[1])
                s = (t[1][0] - mc[0], t[1][1] - mc[1])
                if lat.key(s) in shifts:
                    continue
                ok = True
                for n, c, d in faces:
                    img = table.get((n, lat.key(apply(m, s, c))))
                    turned = d + deg if kind == "rot" else 2 * deg - d
                    if img is None or not same_angle(img, turned, 360.0 / n):
                        ok = False
                        break
                if ok:
                    shifts[lat.key(s)] = s
            for s in shifts.values():
                found.append((kind, deg, m, s))
    return found


def shortest_along(lat, d):
    best = None
    for i in range(-12, 13):
        for j in range(-12, 13):
            if i == 0 and j == 0:
                continue
            p = lat.point(i, j)
            if abs(p[0] * d[1] - p[1] * d[0]) < TOL:
                if best is None or math.hypot(*p) < math.hypot(*best):
                    best = p
    return best


def mirror_lines(lat, syms):
    """(normal, offset) of the true mirrors among the reflections, as lines p.n = offset."""
    lines = []
    for kind, deg, m, s in syms:
        if kind != "ref":
            continue
        d = (math.cos(math.radians(deg)), math.sin(math.radians(deg)))
        nrm = (-d[1], d[0])
        for i in range(-8, 9):
            for j in range(-8, 9):
                t = lat.point(i, j)
                sl = (s[0] + t[0], s[1] + t[1])
                if abs(sl[0] * d[0] + sl[1] * d[1]) < TOL:
                    lines.append((deg, nrm, (sl[0] * nrm[0] + sl[1] * nrm[1]) / 2))
    return lines


def on_mirror(lat, lines, p):
    for _, nrm, off in lines:
        for i in range(-3, 4):
            for j in range(-3, 4):
                q = lat.point(i, j)
                if abs((p[0] + q[0]) * nrm[0] + (p[1] + q[1]) * nrm[1] - off) < TOL:
                    return True
    return False


def wallpaper_group(lat, syms):
    angles = {round(deg, 6) % 360 for kind, deg, _, _ in syms if kind == "rot"}
    order = max(k for k in (1, 2, 3, 4, 6) if round(360.0 / k, 6) % 360 in angles)
    refl_dirs = sorted({round(deg, 6) % 180 for kind, deg, _, _ in syms if kind == "ref"})
    lines = mirror_lines(lat, syms)
    mirror_dirs = sorted({round(deg, 6) % 180 for deg, _, _ in lines})

    def centres(turn):
        out = []
        for kind, deg, m, s in syms:
            if kind == "rot" and abs(deg - turn) < 1e-6:
                # fixed point of x -> m x + s
                a11, a12, a21, a22 = 1 - m[0][0], -m[0][1], -m[1][0], 1 - m[1][1]
                det = a11 * a22 - a12 * a21
                out.append(((a22 * s[0] - a12 * s[1]) / det, (a11 * s[1] - a21 * s[0]) / det))
        return out

    def centred(deg):
        d = (math.cos(math.radians(deg)), math.sin(math.radians(deg)))
        t1, t2 = shortest_along(lat, d), shortest_along(lat, (-d[1], d[0]))
        if t1 is None or t2 is None:
            return False
        return abs(t1[0] * t2[1] - t1[1] * t2[0]) > abs(lat.det) * 1.5

    if order == 6:
        return "p6m" if refl_dirs else "p6"
    if order == 4:
        if not refl_dirs:
            return "p4"
        return "p4m" if any(on_mirror(lat, lines, c) for c in centres(90.0)) else "p4g"
    if order == 3:
        if not refl_dirs:
            return "p3"
        return "p3m1" if all(on_mirror(lat, lines, c) for c in centres(120.0)) else "p31m"
    if order == 2:
        if not refl_dirs:
            return "p2"
        if not mirror_dirs:
            return "pgg"
        if len(mirror_dirs) == 1:
            return "pmg"
        return "cmm" if centred(mirror_dirs[0]) else "pmm"
    if not refl_dirs:
        return "p1"
    if not mirror_dirs:
        return "pg"
    return "cm" if centred(mirror_dirs[0]) else "pm"


def orbits(lat, syms, items):
    """Number of orbits of the point classes in items (key -> point) under syms."""
    parent = {k: k for k in items}

    def root(k):
        while parent[k] != k:
            parent[k] = parent[parent[k]]
            k = parent[k]
        return k
    for _, _, m, s in syms:
        for k, p in items.items():
            j = lat.key(apply(m, s, p))
            if j not in parent:
                raise Bad("a symmetry maps a vertex or edge to none")
            parent[root(k)] = root(j)
    groups = {}
    for k in items:
        groups.setdefault(root(k), []).append(k)
    return list(groups.values())


# ---------------------------------------------------------------- the checks

def check(name, a, b, cell):
    lat = Lattice(a, b)
    types = vertex_types(name)
    allowed = {t for _, t in types}
    label = {t: s for s, t in types}

    seen = set()
    for n, c, _ in cell:
        k = (n, lat.key(c))
        if k in seen:
            raise Bad("face %d at (%.4f, %.4f) is listed twice modulo the translations" % (n, c[0], c[1]))
        seen.add(k)
    total = sum(area(n) for n, _, _ in cell)
    if abs(total - abs(lat.det)) > 1e-9:
        raise Bad("face area %.9f but |a x b| = %.9f" % (total, abs(lat.det)))

    # the patch
    faces = []
    for i in range(-PATCH, PATCH + 1):
        for j in range(-PATCH, PATCH + 1):
            t = lat.point(i, j)
            for n, c, deg in cell:
                cc = (c[0] + t[0], c[1] + t[1])
                faces.append((n, cc, deg, corners(n, cc, deg)))
    verts = PointIndex()
    at = {}
    for fi, (n, c, deg, pts) in enumerate(faces):
        for k, p in enumerate(pts):
            at.setdefault(verts.find(p), []).append((fi, k))
    grid = {}
    for fi, (n, c, deg, pts) in enumerate(faces):
        xs, ys = [p[0] for p in pts], [p[1] for p in pts]
        for gx in range(int(math.floor(min(xs))) - 1, int(math.floor(max(xs))) + 2):
            for gy in range(int(math.floor(min(ys))) - 1, int(math.floor(max(ys))) + 2):
                grid.setdefault((gx, gy), []).append(fi)

    def near(p):
        return grid.get((int(math.floor(p[0])), int(math.floor(p[1]))), [])

    def inside(pts, p, margin):
        # > margin inside every side of the counterclockwise polygon
        for k in range(len(pts)):
            (x0, y0), (x1, y1) = pts[k], pts[(k + 1) % len(pts)]
            if (x1 - x0) * (p[1] - y0) - (y1 - y0) * (p[0] - x0) <= margin:
                return False
        return True

    def dist_to_boundary(pts, p):
        best = float("inf")
        for k in range(len(pts)):
            (x0, y0), (x1, y1) = pts[k], pts[(k + 1) % len(pts)]
            dx, dy = x1 - x0, y1 - y0
            t = max(0.0, min(1.0, ((p[0] - x0) * dx + (p[1] - y0) * dy) / (dx * dx + dy * dy)))
            best = min(best, math.hypot(p[0] - x0 - t * dx, p[1] - y0 - t * dy))
        return best

    # a vertex is judged only when every face that can touch it is in the patch
    rmax = max(0.5 / math.sin(math.pi / n) for n, _, _ in cell)
    fu = [lat.coords(c)[0] for _, c, _ in cell]
    fv = [lat.coords(c)[1] for _, c, _ in cell]
    du = rmax * math.hypot(lat.b[1], lat.b[0]) / abs(lat.det)
    dv = rmax * math.hypot(lat.a[1], lat.a[0]) / abs(lat.det)

    def judged(p):
        u, v = lat.coords(p)
        return (u + du - min(fu) <= PATCH and u - du - max(fu) >= -PATCH and
                v + dv - min(fv) <= PATCH and v - dv - max(fv) >= -PATCH)

    counts = {}
    judged_count = 0
    for vi, p in enumerate(verts.points):
        if not judged(p):
            continue
        judged_count += 1
        here = at[vi]
        mine = {fi for fi, _ in here}
        if len(mine) != len(here):
            raise Bad("a face has two corners at (%.4f, %.4f)" % p)
        for fi in near(p):
            if fi in mine:
                continue
            pts = faces[fi][3]
            if inside(pts, p, 1e-7):
                raise Bad("vertex (%.4f, %.4f) lies inside a %d-gon" % (p[0], p[1], faces[fi][0]))
            if dist_to_boundary(pts, p) < 1e-7:
                raise Bad("vertex (%.4f, %.4f) lies on a side of a %d-gon (not edge-to-edge)"
                          % (p[0], p[1], faces[fi][0]))
        spans = []
        for fi, k in here:
            n, _, _, pts = faces[fi]
            nxt, prv = pts[(k + 1) % n], pts[k - 1]
            start = math.degrees(math.atan2(nxt[1] - p[1], nxt[0] - p[0])) % 360
            inner = 180.0 * (n - 2) / n
            end = math.degrees(math.atan2(prv[1] - p[1], prv[0] - p[0])) % 360
            if not same_angle(start + inner, end, 360):
                raise Bad("corner of a %d-gon is not regular" % n)
            spans.append((start, inner, n))
        spans.sort()
        if abs(sum(s[1] for s in spans) - 360.0) > 1e-6:
            raise Bad("corners at (%.4f, %.4f) add up to %.6f degrees"
                      % (p[0], p[1], sum(s[1] for s in spans)))
        for k, (start, inner, _) in enumerate(spans):
            nstart = spans[(k + 1) % len(spans)][0]
            if not same_angle(start + inner, nstart, 360):
                raise Bad("corners at (%.4f, %.4f) overlap or leave a gap" % p)
        vt = canonical([s[2] for s in spans])
        if vt not in allowed:
            raise Bad("vertex (%.4f, %.4f) has type %s, not one of the name's"
                      % (p[0], p[1], ".".join(map(str, vt))))
        counts[vt] = counts.get(vt, 0) + 1
    if judged_count < 100:
        raise Bad("only %d vertices could be judged" % judged_count)
    for s, t in types:
        if t not in counts:
            raise Bad("vertex type %s does not occur" % s)
    for fi, (n, c, _, pts) in enumerate(faces):
        if not judged(c):
            continue
        for fj in near(c):
            if fj != fi and inside(faces[fj][3], c, 1e-7):
                raise Bad("the %d-gon at (%.4f, %.4f) overlaps a %d-gon" % (n, c[0], c[1], faces[fj][0]))

    # the structure: symmetry, orbits, counts per cell, groups of faces
    syms = symmetries(lat, cell)
    shifts = [s for kind, deg, _, s in syms if kind == "rot" and deg == 0]
    if len(shifts) != 1:
        raise Bad("the cell is %d times larger than needed" % len(shifts))
    group = wallpaper_group(lat, syms)
    vclass = {}
    for n, c, deg in cell:
        for p in corners(n, c, deg):
            vclass[lat.key(p)] = p
    per_cell = {}
    for k, p in vclass.items():
        u, v = lat.coords(p)
        q = lat.point(u - math.floor(u), v - math.floor(v))
        vi = verts.find(q, add=False)
        ns = []
        for fi, kk in at[vi]:
            n, _, _, pts = faces[fi]
            nxt = pts[(kk + 1) % n]
            ns.append((math.degrees(math.atan2(nxt[1] - q[1], nxt[0] - q[0])) % 360, n))
        vt = label.get(canonical([n for _, n in sorted(ns)]))
        per_cell[vt] = per_cell.get(vt, 0) + 1
    vorb = orbits(lat, syms, vclass)
    edges = {}
    for n, c, deg in cell:
        pts = corners(n, c, deg)
        for k in range(n):
            mid = ((pts[k][0] + pts[(k + 1) % n][0]) / 2, (pts[k][1] + pts[(k + 1) % n][1]) / 2)
            edges[lat.key(mid)] = mid
    eorb = orbits(lat, syms, edges)
    forb = orbits(lat, syms, {lat.key(c): c for _, c, _ in cell})

    facts = FACTS.get(name)
    if facts is None:
        raise Bad("no facts known for this name")
    problems = []
    if len(vorb) != 2:
        problems.append("%d vertex orbits, not 2 (not 2-uniform)" % len(vorb))
    if group != facts["group"]:
        problems.append("symmetry group %s, literature says %s" % (group, facts["group"]))
    if per_cell != facts["per_cell"]:
        problems.append("vertices per cell %s, expected %s" % (per_cell, facts["per_cell"]))
    if "face_orbits" in facts and len(forb) != facts["face_orbits"]:
        problems.append("%d face orbits, literature says %d" % (len(forb), facts["face_orbits"]))
    if "edge_orbits" in facts and len(eorb) != facts["edge_orbits"]:
        problems.append("%d edge orbits, literature says %d" % (len(eorb), facts["edge_orbits"]))
    if "clusters" in facts:
        sizes = clusters(faces, judged)
        for n, want in facts["clusters"].items():
            if sizes.get(n, set()) != want:
                problems.append("%d-gons in groups of %s, literature says %s"
                                % (n, sorted(sizes.get(n, set())), sorted(want)))
    if problems:
        raise Bad("; ".join(problems))
    return "ok (%s, %d vertices judged, %s)" % (
        group, judged_count, ", ".join("%s x%d" % (k, v) for k, v in sorted(per_cell.items())))


def clusters(faces, judged):
    """Sizes of the groups of equal faces joined by shared sides, for groups wholly
    judged."""
    side = {}
    for fi, (n, c, _, pts) in enumerate(faces):
        for k in range(n):
            p, q = pts[k], pts[(k + 1) % n]
            key = tuple(sorted(((round(p[0], 5), round(p[1], 5)), (round(q[0], 5), round(q[1], 5)))))
            side.setdefault(key, []).append(fi)
    parent = list(range(len(faces)))

    def root(i):
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i
    for users in side.values():
        if len(users) == 2 and faces[users[0]][0] == faces[users[1]][0]:
            parent[root(users[0])] = root(users[1])
    members = {}
    for fi in range(len(faces)):
        members.setdefault(root(fi), []).append(fi)
    sizes = {}
    for group in members.values():
        if all(judged(faces[fi][1]) for fi in group):
            sizes.setdefault(faces[group[0]][0], set()).add(len(group))
    return sizes


# ---------------------------------------------------------------- the checker's own test

def hexagons_on(a, b):
    """Triangular tiling with the six triangles round every point of the lattice
    (a, b) merged into a hexagon: an independent way to the [3^6; 3^4.6] family."""
    lat = Lattice(a, b)
    cell = [(6, (0.0, 0.0), 0.0)]
    seen = set()
    h = math.sqrt(3.0) / 2
    for i in range(-10, 11):
        for j in range(-10, 11):
            p = (i + j / 2.0, j * h)
            for c, deg in (((p[0] + 0.5, p[1] + h / 3), 90.0), ((p[0] + 1, p[1] + 2 * h / 3), 30.0)):
                u, v = lat.coords(c)
                t = lat.point(round(u), round(v))
                c = (c[0] - t[0], c[1] - t[1])
                if lat.key(c) in seen:
                    continue
                seen.add(lat.key(c))
                if all(math.hypot(c[0] - q[0], c[1] - q[1]) > 0.8
                       for q in (lat.point(x, y) for x in (-1, 0, 1) for y in (-1, 0, 1))):
                    cell.append((3, c, deg))
    return a, b, cell


def self_test(path):
    """Each case breaks the cells in one way (or builds one independently); the
    checker must answer with the words given."""
    rows = {name: (name, comment, numbers, faces) for name, comment, _, numbers, faces in read_rows(path)}

    def parsed(name):
        return parse_row(*rows[name])

    def drop_last(name):
        a, b, cell = parsed(name)
        return name, a, b, cell[:-1]

    def twice(name):
        a, b, cell = parsed(name)
        n, c, d = cell[1]
        return name, a, b, cell[:-1] + [(n, (c[0] + a[0], c[1] + a[1]), d)]

    def moved(name):
        a, b, cell = parsed(name)
        n, c, d = cell[-1]
        return name, a, b, cell[:-1] + [(n, (c[0] + 0.5, c[1]), d)]

    def turned(name):
        a, b, cell = parsed(name)
        n, c, d = cell[0]
        return name, a, b, [(n, c, d + 15)] + cell[1:]

    def renamed(name, new):
        a, b, cell = parsed(name)
        return new, a, b, cell

    def doubled(name):
        a, b, cell = parsed(name)
        return name, a, (2 * b[0], 2 * b[1]), cell + [(n, (c[0] + b[0], c[1] + b[1]), d) for n, c, d in cell]

    def text(name, numbers=None, comment=""):
        n, c, nums, faces = rows[name]
        a, b, cell = parse_row(n, c if comment == "" else comment, numbers or nums, faces)
        return name, a, b, cell

    h = math.sqrt(3.0) / 2
    cases = [
        ("a face left out", lambda: drop_last("[3^6; 3^4.6]1"), "face area"),
        ("a face listed twice", lambda: twice("[3^6; 3^3.4^2]1"), "listed twice"),
        ("a triangle moved off its place", lambda: moved("[3^4.6; 3^2.6^2]"), "add up to 300"),
        ("a square turned by 15 degrees", lambda: turned("[3^6; 3^3.4^2]2"), "lies"),
        ("suffix 1 given to 2", lambda: renamed("[3^6; 3^4.6]2", "[3^6; 3^4.6]1"), "literature says p6m"),
        ("suffix 2 given to 1", lambda: renamed("[3^6; 3^3.4^2]1", "[3^6; 3^3.4^2]2"), "literature says cmm"),
        ("suffix 2 given to 1", lambda: renamed("[3^3.4^2; 3^2.4.3.4]1", "[3^3.4^2; 3^2.4.3.4]2"),
         "literature says pgg"),
        ("other vertex types", lambda: renamed("[3^6; 3^2.6^2]", "[3^6; 3^2.4.3.4]"), "not one of the name's"),
        ("a type missing", lambda: renamed("[3^6; 3^3.4^2]1", "[3^3.4^2; 4^4]1"), "not one of the name's"),
        ("cell twice as large", lambda: doubled("[3^6; 3^3.4^2]1"), "times larger"),
        ("integer division", lambda: text("[3^6; 3^4.6]1", numbers=["3", "0", "3 / 2", "3 * r3 / 2"]),
         "integer division"),
        ("no comment", lambda: text("[3^6; 3^2.4.12]", comment=None), "one-line comment"),
        ("two types but 3-uniform", lambda: ("[3^6; 3^4.6]1",) + hexagons_on((3, 2 * h), (0, 4 * h)),
         "vertex orbits"),
        ("built independently", lambda: ("[3^6; 3^4.6]1",) + hexagons_on((3, 0), (1.5, 3 * h)), "ok (p6m"),
        ("built independently", lambda: ("[3^6; 3^4.6]2",) + hexagons_on((3.5, h), (1, 4 * h)), "ok (p6,"),
    ]
    failures = 0
    for what, make, words in cases:
        try:
            got = check(*make())
        except Bad as e:
            got = "FAILED: %s" % e
        if words not in got:
            failures += 1
            print("self-test: %s: expected '%s', got: %s" % (what, words, got))
    print("self-test: %d passed, %d failed" % (len(cases) - failures, failures))
    return 1 if failures else 0


def main():
    args = [x for x in sys.argv[1:] if x != "--self-test"]
    path = args[0] if args else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "two_uniform_a.inc")
    if "--self-test" in sys.argv:
        return self_test(path)
    try:
        rows = read_rows(path)
    except (OSError, Bad) as e:
        print("cannot read %s: %s" % (path, e))
        return 1
    if not rows:
        print("no rows in %s" % path)
        return 1
    failed = 0
    for name, comment, lineno, numbers, faces_text in rows:
        try:
            a, b, cell = parse_row(name, comment, numbers, faces_text)
            result = check(name, a, b, cell)
        except Bad as e:
            result = "FAILED: %s" % e
            failed += 1
        print("%s: %s" % (name, result))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
