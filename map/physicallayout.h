#pragma once

#include "choices.h"
#include "screentable.h"

#include <QSize>
#include <QString>
#include <vector>

// The arithmetic of the map at physical scale, apart from any widget: where
// the monitors stand on the desk, what a drag on the map sets, and a size
// from a diagonal.
class PhysicalLayout
{
public:
    // The map's unit at physical scale: a tenth of a millimetre, so that
    // MapGeometry lays the desk out as it lays out pixels.
    static constexpr int unitsPerMm = 10;

    // Each screen as it stands on the desk, in tenths of a millimetre, in
    // table order: side by side neighbours touch with their middles the
    // pair's offset apart, stacked ones likewise across; a monitor of
    // unknown size is drawn at the others' mean pixel pitch.
    static std::vector<ScreenRect> rects(const ScreenTable &table, const Choices &choices);

    // How many screens have a size the rule can use.
    static int knownSizes(const ScreenTable &table);

    // Millimetres up the desk for a drag of `canvasDy` map pixels down, at
    // `scaleDivisor` map units per map pixel.
    static int dragMm(int canvasDy, unsigned scaleDivisor);

    // The choices with `screen` moved `upMm` up beside each side-by-side
    // neighbour, so that the neighbours keep their places.
    static void raise(Choices &choices, const ScreenTable &table, int screen, int upMm);

    // A monitor's width and height in whole millimetres from its diagonal
    // in inches and the shape of its pixels; 0x0 for no diagonal.
    static QSize mmFromDiagonal(double inches, const ScreenRect &pixels);

    // What the map says of a screen's size: "530×298 mm", with ", set by
    // you" where the user gave it, or "size unknown".
    static QString sizeLabel(const ScreenTable &table, const Choices &choices, int screen);
};
