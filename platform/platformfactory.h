#pragma once

#include <QObject>
#include <memory>

class Platform;

// How the user asked Pellmar to treat the window system.
struct PlatformOptions
{
    // Hear pointer device motion where the window system reports it;
    // false polls the pointer instead (PELLMAR_NO_DEVICE_MOTION=1, for a
    // server whose motion reports misbehave).
    bool listenForMotion = true;
};

// The window system this session runs on, behind the Platform interface:
// the one place that names a concrete platform.
std::unique_ptr<Platform> makePlatform(const PlatformOptions &options, QObject *parent = nullptr);
