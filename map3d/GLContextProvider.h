#pragma once
// What the view needs of a rendering context: create it for a drawable of a size, make it
// current, resize the drawable, swap the buffers, and the picture last presented.

#include <cstdint>
#include <vector>

namespace qor {

// A picture of 32-bit pixels 0xAARRGGBB (QImage's ARGB32), top row first.
struct TFrameImage {
    int Width = 0, Height = 0;
    std::vector<std::uint32_t> Pixels;
};

class TGLContextProvider {
public:
    virtual ~TGLContextProvider() = default;

    // Creates the context and a double-buffered drawable of Width x Height with RGBA colour
    // and a depth buffer, and makes it current. False when no context can be had.
    virtual bool Create(int Width, int Height) = 0;
    virtual bool MakeCurrent() = 0;
    virtual void DoneCurrent() = 0;
    // Gives the drawable a new size; the context is current afterwards.
    virtual void Resize(int Width, int Height) = 0;
    // Presents the back buffer.
    virtual void SwapBuffers() = 0;
    // The picture presented by the last swap (empty before the first).
    virtual const TFrameImage& FrontBuffer() const = 0;
};

} // namespace qor
