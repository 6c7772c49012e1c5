#pragma once

#include "pointermover.h"

struct org_kde_kwin_fake_input;

// KWin's way: its fake input, which it offers only to a program it trusts
// (one whose installed menu entry asks for it), moved in absolute steps in
// the desktop's own coordinates.
class FakeInputMover : public PointerMover
{
public:
    // `edgeBarrier`: how far KWin holds a motion that leaves an output
    // (its EdgeBarrier setting, 0 for none).
    explicit FakeInputMover(int edgeBarrier) : barrier(edgeBarrier) {}
    ~FakeInputMover() override;

    // The user's EdgeBarrier setting in kwinrc, KWin's default where unset.
    static int edgeBarrierSetting();

    const char *interfaceName() const override;
    void bind(wl_registry *registry, std::uint32_t name, std::uint32_t version) override;
    bool bound() const override { return input != nullptr; }
    void start(wl_seat *seat) override;
    void move(const QPoint &to, const std::optional<QPoint> &from, const ScreenTable &screens,
              const QRect &extent) override;

private:
    void moveTo(const QPoint &to);

    org_kde_kwin_fake_input *input = nullptr;
    std::uint32_t version = 0;
    const int barrier;
};
