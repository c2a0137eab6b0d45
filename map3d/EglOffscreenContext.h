#pragma once
// A context provider without a display: an EGL context on Mesa's surfaceless platform that
// draws into a framebuffer object (the back buffer) with RGBA8 colour and the deepest
// depth buffer available; a swap reads the back buffer into the front picture.

#include "map3d/GLContextProvider.h"

#include <memory>

namespace qor {

class TEglOffscreenContext : public TGLContextProvider {
public:
    TEglOffscreenContext();
    ~TEglOffscreenContext() override;
    TEglOffscreenContext(const TEglOffscreenContext&) = delete;
    TEglOffscreenContext& operator=(const TEglOffscreenContext&) = delete;

    bool Create(int Width, int Height) override;
    bool MakeCurrent() override;
    void DoneCurrent() override;
    void Resize(int Width, int Height) override;
    void SwapBuffers() override;
    const TFrameImage& FrontBuffer() const override { return FFront; }

    // Depth bits of the framebuffer's depth buffer (0 before Create).
    int DepthBits() const { return FDepthBits; }

private:
    struct TEgl;
    void AllocateBuffers(int Width, int Height);
    void FreeBuffers();

    std::unique_ptr<TEgl> FEgl;
    TFrameImage FFront;
    std::vector<std::uint32_t> FBottomUp;
    int FWidth = 0, FHeight = 0;
    int FDepthBits = 0;
};

} // namespace qor
