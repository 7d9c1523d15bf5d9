#include "export/svg_plan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

namespace kon {

namespace {

// Page units: the drawing's longer side, the margin around it, and the pens.
constexpr double kDrawing = 1000.0;
constexpr double kMargin = 40.0;
constexpr double kTick = 6.0;        // half length of a dimension line's end tick
constexpr double kTextOffset = 4.0;  // gap between a dimension line and its figure
constexpr double kEmptyPage = 100.0;

// Fixed with two decimals up to 1e15 (at most 19 characters), the shortest
// round-trip form beyond (at most 24), so 64 characters always suffice.
void AppendNumber(std::string& out, double value) {
    char text[64];
    std::to_chars_result r{};
    if (std::isfinite(value) && std::fabs(value) < 1e15) {
        r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
        char* end = r.ptr;
        while (end[-1] == '0') --end;
        if (end[-1] == '.') --end;
        r.ptr = end;
    } else {
        r = std::to_chars(text, text + sizeof text, value);
    }
    std::string_view number(text, static_cast<std::size_t>(r.ptr - text));
    if (number == "-0") number = "0";
    out.append(number);
}

struct Point2 {
    double x = 0.0;
    double y = 0.0;
};

// Model millimetres to page units: Y turned upward, the box moved into the
// margin and scaled so its longer side spans the drawing.
class Page {
  public:
    void Include(double x, double y) {
        if (empty_) {
            low_ = high_ = {x, y};
            empty_ = false;
        }
        low_ = {std::min(low_.x, x), std::min(low_.y, y)};
        high_ = {std::max(high_.x, x), std::max(high_.y, y)};
    }
    bool Empty() const { return empty_; }
    double Scale() const {
        const double extent = std::max(high_.x - low_.x, high_.y - low_.y);
        return extent > 0.0 ? kDrawing / extent : 1.0;
    }
    double Width() const {
        return empty_ ? kEmptyPage : (high_.x - low_.x) * Scale() + 2 * kMargin;
    }
    double Height() const {
        return empty_ ? kEmptyPage : (high_.y - low_.y) * Scale() + 2 * kMargin;
    }
    Point2 Map(double x, double y) const {
        return {kMargin + (x - low_.x) * Scale(), kMargin + (high_.y - y) * Scale()};
    }

  private:
    bool empty_ = true;
    Point2 low_;
    Point2 high_;
};

// The corners of one polygon that name a point; fewer than three fill nothing.
std::vector<std::size_t> FilledCorners(const KonModell& model, const Flaeche& f) {
    std::vector<std::size_t> corners;
    if (f.Anzahl <= 0) return corners;
    // Corners beyond what the polygon holds are not read.
    const std::size_t n = std::min(static_cast<std::size_t>(f.Anzahl), 4 + f.WeitereEcken.size());
    for (std::size_t j = 0; j < n; ++j) {
        const std::int16_t e = Ecke(f, j);
        if (e >= 0 && static_cast<std::size_t>(e) < model.Punkte.size()) {
            corners.push_back(static_cast<std::size_t>(e));
        }
    }
    if (corners.size() < 3) corners.clear();
    return corners;
}

void AppendColour(std::string& out, const KonModell& model,
                  const std::vector<std::size_t>& corners) {
    std::uint64_t sum[3] = {0, 0, 0};
    for (const std::size_t i : corners) {
        sum[0] += model.Punkte[i].R;
        sum[1] += model.Punkte[i].G;
        sum[2] += model.Punkte[i].B;
    }
    static constexpr char kHex[] = "0123456789abcdef";
    out += '#';
    for (const std::uint64_t s : sum) {
        // The mean of bytes is a byte.
        const auto c = static_cast<unsigned>((s + corners.size() / 2) / corners.size());
        out += kHex[c >> 4];
        out += kHex[c & 15u];
    }
}

void AppendPoint(std::string& out, const Point2& p) {
    AppendNumber(out, p.x);
    out += ',';
    AppendNumber(out, p.y);
}

void AppendLine(std::string& out, const Page& page, const Linie& l) {
    const Point2 a = page.Map(l.X1, l.Y1);
    const Point2 b = page.Map(l.X2, l.Y2);
    out += "<path d=\"M";
    AppendPoint(out, a);
    out += 'L';
    AppendPoint(out, b);
    out += "\"/>\n";
}

// A dimension line: the line, an oblique tick at each end, and its Laenge
// upright above the middle.
void AppendDimension(std::string& out, std::string& figures, const Page& page, const Linie& l) {
    const Point2 a = page.Map(l.X1, l.Y1);
    const Point2 b = page.Map(l.X2, l.Y2);
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    out += "<path d=\"M";
    AppendPoint(out, a);
    out += 'L';
    AppendPoint(out, b);
    if (length > 0.0) {
        // Along the line plus across it: the 45 degree tick of a building plan.
        const Point2 d = {(b.x - a.x) / length, (b.y - a.y) / length};
        const Point2 tick = {(d.x - d.y) * kTick / std::numbers::sqrt2,
                             (d.y + d.x) * kTick / std::numbers::sqrt2};
        for (const Point2& end : {a, b}) {
            out += 'M';
            AppendPoint(out, {end.x - tick.x, end.y - tick.y});
            out += 'L';
            AppendPoint(out, {end.x + tick.x, end.y + tick.y});
        }
    }
    out += "\"/>\n";

    double angle = length > 0.0 ? std::atan2(b.y - a.y, b.x - a.x) * 180.0 / std::numbers::pi : 0.0;
    if (angle > 90.0) angle -= 180.0;
    if (angle <= -90.0) angle += 180.0;
    // Page "up" for text turned by `angle`.
    const double radians = angle * std::numbers::pi / 180.0;
    const Point2 at = {(a.x + b.x) / 2 + std::sin(radians) * kTextOffset,
                       (a.y + b.y) / 2 - std::cos(radians) * kTextOffset};
    figures += "<text x=\"";
    AppendNumber(figures, at.x);
    figures += "\" y=\"";
    AppendNumber(figures, at.y);
    figures += '"';
    if (angle != 0.0) {
        figures += " transform=\"rotate(";
        AppendNumber(figures, angle);
        figures += ' ';
        AppendPoint(figures, at);
        figures += ")\"";
    }
    figures += '>';
    AppendNumber(figures, l.Laenge);
    figures += "</text>\n";
}

}  // namespace

void WriteSvgPlan(const KonModell& model, std::ostream& out, const SvgOptions& options) {
    std::vector<std::vector<std::size_t>> polygons;
    if (options.fill) {
        for (const Flaeche& f : model.Flaechenliste) {
            std::vector<std::size_t> corners = FilledCorners(model, f);
            if (!corners.empty()) polygons.push_back(std::move(corners));
        }
    }
    Page page;
    for (const auto& corners : polygons) {
        for (const std::size_t i : corners) page.Include(model.Punkte[i].X, model.Punkte[i].Y);
    }
    for (const auto* linien : {&model.Linien, &model.StrichLinien, &model.MassLinien}) {
        for (const Linie& l : *linien) {
            page.Include(l.X1, l.Y1);
            page.Include(l.X2, l.Y2);
        }
    }

    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    std::string size;
    AppendNumber(size, page.Width());
    std::string height;
    AppendNumber(height, page.Height());
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + size + "\" height=\"" + height +
           "\" viewBox=\"0 0 " + size + ' ' + height + "\">\n";
    svg += "<rect width=\"" + size + "\" height=\"" + height + "\" fill=\"#ffffff\"/>\n";

    if (!polygons.empty()) {
        svg += "<g id=\"flaechen\" stroke=\"none\" fill-opacity=\"0.25\">\n";
        for (const auto& corners : polygons) {
            svg += "<polygon points=\"";
            for (std::size_t k = 0; k < corners.size(); ++k) {
                if (k > 0) svg += ' ';
                const CObPunkt& p = model.Punkte[corners[k]];
                AppendPoint(svg, page.Map(p.X, p.Y));
            }
            svg += "\" fill=\"";
            AppendColour(svg, model, corners);
            svg += "\"/>\n";
        }
        svg += "</g>\n";
    }
    if (!model.StrichLinien.empty()) {
        svg +=
            "<g id=\"strichlinien\" fill=\"none\" stroke=\"#555555\" stroke-width=\"1\" "
            "stroke-dasharray=\"6 4\">\n";
        for (const Linie& l : model.StrichLinien) AppendLine(svg, page, l);
        svg += "</g>\n";
    }
    if (!model.Linien.empty()) {
        svg +=
            "<g id=\"linien\" fill=\"none\" stroke=\"#000000\" stroke-width=\"1.5\" "
            "stroke-linecap=\"round\">\n";
        for (const Linie& l : model.Linien) AppendLine(svg, page, l);
        svg += "</g>\n";
    }
    if (!model.MassLinien.empty()) {
        std::string figures;
        svg += "<g id=\"masslinien\" fill=\"none\" stroke=\"#1f4fbf\" stroke-width=\"1\">\n";
        for (const Linie& l : model.MassLinien) AppendDimension(svg, figures, page, l);
        svg += "</g>\n";
        // A white halo keeps the figures legible over lines and fills.
        svg +=
            "<g id=\"masse\" font-family=\"sans-serif\" font-size=\"14\" text-anchor=\"middle\" "
            "fill=\"#1f4fbf\" stroke=\"#ffffff\" stroke-width=\"3\" paint-order=\"stroke\">\n";
        svg += figures;
        svg += "</g>\n";
    }
    svg += "</svg>\n";
    out.write(svg.data(), static_cast<std::streamsize>(svg.size()));
}

}  // namespace kon
