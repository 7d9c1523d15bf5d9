#include "export/triangulate.h"

#include <cmath>

namespace kon {

namespace {

struct Vec2 {
    double x = 0.0;
    double y = 0.0;
};

// Twice the signed area of (a, b, c); positive when they turn left.
double Turn(const Vec2& a, const Vec2& b, const Vec2& c) {
    return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
}

// The corners in a plane basis (u, v) with u x v along the normal, so the
// polygon runs counter-clockwise there.
std::vector<Vec2> Project(const std::vector<Vec3>& corners, const Vec3& normal) {
    const double length =
        std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
    const Vec3 n = {normal[0] / length, normal[1] / length, normal[2] / length};
    // Any axis far from the normal gives a well-conditioned u.
    const Vec3 axis = std::fabs(n[0]) < 0.9 ? Vec3{1.0, 0.0, 0.0} : Vec3{0.0, 1.0, 0.0};
    Vec3 u = {axis[1] * n[2] - axis[2] * n[1], axis[2] * n[0] - axis[0] * n[2],
              axis[0] * n[1] - axis[1] * n[0]};
    const double ul = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    u = {u[0] / ul, u[1] / ul, u[2] / ul};
    const Vec3 v = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2],
                    n[0] * u[1] - n[1] * u[0]};
    std::vector<Vec2> flat;
    flat.reserve(corners.size());
    for (const Vec3& c : corners) {
        flat.push_back(
            {c[0] * u[0] + c[1] * u[1] + c[2] * u[2], c[0] * v[0] + c[1] * v[1] + c[2] * v[2]});
    }
    return flat;
}

bool IsConvex(const std::vector<Vec2>& flat) {
    const std::size_t n = flat.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (Turn(flat[(i + n - 1) % n], flat[i], flat[(i + 1) % n]) < 0.0) return false;
    }
    return true;
}

void Fan(std::size_t n, std::vector<std::size_t>& out) {
    for (std::size_t i = 1; i + 1 < n; ++i) {
        out.insert(out.end(), {0, i, i + 1});
    }
}

// Inside or on the border of the counter-clockwise triangle (a, b, c).
bool InTriangle(const Vec2& p, const Vec2& a, const Vec2& b, const Vec2& c) {
    return Turn(a, b, p) >= 0.0 && Turn(b, c, p) >= 0.0 && Turn(c, a, p) >= 0.0;
}

bool SamePlace(const Vec2& a, const Vec2& b) {
    return a.x == b.x && a.y == b.y;
}

void ClipEars(const std::vector<Vec2>& flat, std::vector<std::size_t>& out) {
    std::vector<std::size_t> ring(flat.size());
    for (std::size_t i = 0; i < ring.size(); ++i) ring[i] = i;
    std::size_t at = 0;
    std::size_t tried = 0;  // corners tested since the last ear
    while (ring.size() > 3) {
        const std::size_t n = ring.size();
        const std::size_t prev = ring[(at + n - 1) % n];
        const std::size_t here = ring[at % n];
        const std::size_t next = ring[(at + 1) % n];
        const Vec2 &a = flat[prev], &b = flat[here], &c = flat[next];
        bool ear = Turn(a, b, c) > 0.0;
        for (std::size_t k = 0; ear && k < n; ++k) {
            const Vec2& p = flat[ring[k]];
            // A corner that repeats a triangle corner's place cannot block it.
            if (SamePlace(p, a) || SamePlace(p, b) || SamePlace(p, c)) continue;
            ear = !InTriangle(p, a, b, c);
        }
        // A self-crossing ring may have no ear left: clipping anyway still
        // ends with every corner used and corners - 2 triangles.
        if (ear || tried >= n) {
            out.insert(out.end(), {prev, here, next});
            ring.erase(ring.begin() + static_cast<std::ptrdiff_t>(at % n));
            at = at % n == 0 ? 0 : at % n - 1;
            tried = 0;
        } else {
            at = (at + 1) % n;
            ++tried;
        }
    }
    out.insert(out.end(), {ring[0], ring[1], ring[2]});
}

}  // namespace

Vec3 NewellNormal(const std::vector<Vec3>& corners) {
    Vec3 n = {0.0, 0.0, 0.0};
    const std::size_t count = corners.size();
    for (std::size_t i = 0; i < count; ++i) {
        const Vec3& a = corners[i];
        const Vec3& b = corners[(i + 1) % count];
        n[0] += (a[1] - b[1]) * (a[2] + b[2]);
        n[1] += (a[2] - b[2]) * (a[0] + b[0]);
        n[2] += (a[0] - b[0]) * (a[1] + b[1]);
    }
    return n;
}

std::vector<std::size_t> Triangulate(const std::vector<Vec3>& placed) {
    std::vector<std::size_t> out;
    if (placed.size() < 3) return out;
    // Relative to the first corner, so a small polygon far from the origin
    // keeps its digits.
    std::vector<Vec3> corners;
    corners.reserve(placed.size());
    for (const Vec3& c : placed) {
        corners.push_back({c[0] - placed[0][0], c[1] - placed[0][1], c[2] - placed[0][2]});
    }
    const Vec3 normal = NewellNormal(corners);
    if (!(normal[0] != 0.0 || normal[1] != 0.0 || normal[2] != 0.0)) return out;
    // A triangle with area is its own fan; so is a polygon too long to clip.
    if (corners.size() == 3 || corners.size() > kEarClipCornerLimit) {
        Fan(corners.size(), out);
        return out;
    }
    const std::vector<Vec2> flat = Project(corners, normal);
    if (IsConvex(flat)) {
        Fan(corners.size(), out);
    } else {
        out.reserve(3 * (corners.size() - 2));
        ClipEars(flat, out);
    }
    return out;
}

}  // namespace kon
