#include "physicallayout.h"

#include <algorithm>
#include <cmath>

namespace {

// Where neither this monitor nor any other says its size: a 24" full HD.
constexpr double typicalMmPerPx = 0.277;

struct DeskRect
{
    double x = 0, y = 0, w = 0, h = 0;
    bool placed = false;
};

// The nearest screen wholly above (`above`) or below screen i that shares a
// column with it; -1 where none does.
int stackedNeighbour(const ScreenTable &t, int i, bool above)
{
    const ScreenRect &c = t.rects[std::size_t(i)];
    int best = -1, bestGap = 0;
    for (int j = 0; j < t.size(); ++j) {
        const ScreenRect &r = t.rects[std::size_t(j)];
        if (j == i || r.right < c.left || c.right < r.left)
            continue;
        const int gap = above ? c.top - r.bottom : r.top - c.bottom;
        if (gap > 0 && (best < 0 || gap < bestGap)) {
            best = j;
            bestGap = gap;
        }
    }
    return best;
}

} // namespace

int PhysicalLayout::knownSizes(const ScreenTable &t)
{
    return int(std::count_if(t.physicalMm.begin(), t.physicalMm.end(),
                             [](const QSize &mm) { return !mm.isEmpty(); }));
}

std::vector<ScreenRect> PhysicalLayout::rects(const ScreenTable &t, const Choices &c)
{
    const int n = t.size();
    double pitchSum = 0;
    int known = 0;
    for (int i = 0; i < n && std::size_t(i) < t.physicalMm.size(); ++i) {
        if (!t.physicalMm[std::size_t(i)].isEmpty()) {
            pitchSum +=
                double(t.physicalMm[std::size_t(i)].width()) / t.rects[std::size_t(i)].width();
            ++known;
        }
    }
    const double pitch = known ? pitchSum / known : typicalMmPerPx;
    std::vector<DeskRect> desk(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const ScreenRect &r = t.rects[std::size_t(i)];
        const QSize mm =
            std::size_t(i) < t.physicalMm.size() ? t.physicalMm[std::size_t(i)] : QSize();
        desk[std::size_t(i)].w = mm.isEmpty() ? r.width() * pitch : mm.width();
        desk[std::size_t(i)].h = mm.isEmpty() ? r.height() * pitch : mm.height();
    }
    // Each monitor from a placed neighbour, as the crossing rule sees the
    // pair; one that has none placed yet starts where its pixels are.
    for (int placed = 0; placed < n;) {
        bool progress = false;
        for (int i = 0; i < n; ++i) {
            DeskRect &d = desk[std::size_t(i)];
            if (d.placed)
                continue;
            for (const bool toLeft : {true, false}) {
                const int j = t.neighbour(i, toLeft);
                if (d.placed || j < 0 || !desk[std::size_t(j)].placed)
                    continue;
                const DeskRect &o = desk[std::size_t(j)];
                d.x = toLeft ? o.x + o.w : o.x - d.w;
                d.y = o.y + o.h / 2 - c.offsetMm(t.names[std::size_t(j)], t.names[std::size_t(i)]) -
                      d.h / 2;
                d.placed = true;
            }
            for (const bool above : {true, false}) {
                const int j = stackedNeighbour(t, i, above);
                if (d.placed || j < 0 || !desk[std::size_t(j)].placed)
                    continue;
                const DeskRect &o = desk[std::size_t(j)];
                d.y = above ? o.y + o.h : o.y - d.h;
                d.x = o.x + o.w / 2 - c.offsetMm(t.names[std::size_t(j)], t.names[std::size_t(i)]) -
                      d.w / 2;
                d.placed = true;
            }
            if (d.placed) {
                ++placed;
                progress = true;
            }
        }
        if (progress)
            continue;
        // None touches a placed one: the first left starts a new group.
        for (int i = 0; i < n; ++i) {
            DeskRect &d = desk[std::size_t(i)];
            if (!d.placed) {
                d.x = t.rects[std::size_t(i)].left * pitch;
                d.y = t.rects[std::size_t(i)].top * pitch;
                d.placed = true;
                ++placed;
                break;
            }
        }
    }
    std::vector<ScreenRect> out;
    for (const DeskRect &d : desk) {
        const int left = int(std::lround(d.x * unitsPerMm));
        const int top = int(std::lround(d.y * unitsPerMm));
        out.push_back(ScreenRect{left, top, left + int(std::lround(d.w * unitsPerMm)) - 1,
                                 top + int(std::lround(d.h * unitsPerMm)) - 1});
    }
    return out;
}

int PhysicalLayout::dragMm(int canvasDy, unsigned scaleDivisor)
{
    const double mm = -double(canvasDy) * scaleDivisor / unitsPerMm;
    return int(
        std::lround(std::clamp<double>(mm, -ScreenTable::largestMm, ScreenTable::largestMm)));
}

void PhysicalLayout::raise(Choices &c, const ScreenTable &t, int screen, int upMm)
{
    const QString &name = t.names[std::size_t(screen)];
    for (const bool toLeft : {true, false}) {
        const int j = t.neighbour(screen, toLeft);
        if (j < 0)
            continue;
        const QString &other = t.names[std::size_t(j)];
        c.setOffsetMm(other, name,
                      std::clamp(c.offsetMm(other, name) + upMm, -ScreenTable::largestMm,
                                 ScreenTable::largestMm));
    }
}

QSize PhysicalLayout::mmFromDiagonal(double inches, const ScreenRect &r)
{
    if (!(inches > 0) || r.width() <= 0 || r.height() <= 0)
        return QSize(0, 0);
    const double mm = inches * 25.4;
    const double px = std::hypot(double(r.width()), double(r.height()));
    return QSize(int(std::lround(mm * r.width() / px)), int(std::lround(mm * r.height() / px)));
}

QString PhysicalLayout::sizeLabel(const ScreenTable &t, const Choices &c, int screen)
{
    const QSize mm =
        std::size_t(screen) < t.physicalMm.size() ? t.physicalMm[std::size_t(screen)] : QSize();
    if (mm.isEmpty())
        return "size unknown";
    const QString text =
        QString::number(mm.width()) + QChar(0x00D7) + QString::number(mm.height()) + " mm";
    const QSize given = c.monitorSizesMm.value(t.names[std::size_t(screen)]);
    return given.width() > 0 && given.height() > 0 ? text + ", set by you" : text;
}
