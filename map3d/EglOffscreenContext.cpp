#include "map3d/EglOffscreenContext.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <algorithm>
#include <cstring>

namespace qor {

struct TEglOffscreenContext::TEgl {
    EGLDisplay Display = EGL_NO_DISPLAY;
    EGLContext Context = EGL_NO_CONTEXT;
    GLuint Framebuffer = 0, Color = 0, Depth = 0;
};

TEglOffscreenContext::TEglOffscreenContext() : FEgl(std::make_unique<TEgl>()) {}

TEglOffscreenContext::~TEglOffscreenContext() {
    if (FEgl->Context == EGL_NO_CONTEXT)
        return;
    // The display is shared by every context of the process and stays initialised.
    if (MakeCurrent())
        FreeBuffers();
    eglMakeCurrent(FEgl->Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(FEgl->Display, FEgl->Context);
}

bool TEglOffscreenContext::Create(int Width, int Height) {
    if (FEgl->Context != EGL_NO_CONTEXT)
        return MakeCurrent();
    EGLDisplay display =
        eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr))
        return false;
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    if (!extensions || !std::strstr(extensions, "EGL_KHR_surfaceless_context"))
        return false;
    if (!eglBindAPI(EGL_OPENGL_API))
        return false;
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE,
                                       EGL_PBUFFER_BIT,
                                       EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,
                                       8,
                                       EGL_GREEN_SIZE,
                                       8,
                                       EGL_BLUE_SIZE,
                                       8,
                                       EGL_ALPHA_SIZE,
                                       8,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &count) || count < 1)
        return false;
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT)
        return false;
    FEgl->Display = display;
    FEgl->Context = context;
    if (!MakeCurrent()) {
        eglDestroyContext(display, context);
        FEgl->Context = EGL_NO_CONTEXT;
        return false;
    }
    AllocateBuffers(Width, Height);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        FreeBuffers();
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        eglDestroyContext(display, context);
        FEgl->Context = EGL_NO_CONTEXT;
        return false;
    }
    return true;
}

bool TEglOffscreenContext::MakeCurrent() {
    if (FEgl->Context == EGL_NO_CONTEXT)
        return false;
    eglBindAPI(EGL_OPENGL_API);
    if (!eglMakeCurrent(FEgl->Display, EGL_NO_SURFACE, EGL_NO_SURFACE, FEgl->Context))
        return false;
    if (FEgl->Framebuffer)
        glBindFramebuffer(GL_FRAMEBUFFER, FEgl->Framebuffer);
    return true;
}

void TEglOffscreenContext::DoneCurrent() {
    if (FEgl->Context != EGL_NO_CONTEXT)
        eglMakeCurrent(FEgl->Display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void TEglOffscreenContext::AllocateBuffers(int Width, int Height) {
    FWidth = std::max(Width, 1);
    FHeight = std::max(Height, 1);
    if (!FEgl->Framebuffer) {
        glGenFramebuffers(1, &FEgl->Framebuffer);
        glGenRenderbuffers(1, &FEgl->Color);
        glGenRenderbuffers(1, &FEgl->Depth);
    }
    glBindFramebuffer(GL_FRAMEBUFFER, FEgl->Framebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, FEgl->Color);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, FWidth, FHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, FEgl->Color);
    // 32 depth bits where the rasteriser has them, else the nearest.
    glBindRenderbuffer(GL_RENDERBUFFER, FEgl->Depth);
    for (GLenum format : {GL_DEPTH_COMPONENT32, GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT16}) {
        while (glGetError() != GL_NO_ERROR) {
        }
        glRenderbufferStorage(GL_RENDERBUFFER, format, FWidth, FHeight);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                  FEgl->Depth);
        if (glGetError() == GL_NO_ERROR &&
            glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE)
            break;
    }
    GLint depth = 0;
    glGetRenderbufferParameteriv(GL_RENDERBUFFER, GL_RENDERBUFFER_DEPTH_SIZE, &depth);
    FDepthBits = depth;
}

void TEglOffscreenContext::FreeBuffers() {
    if (!FEgl->Framebuffer)
        return;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteRenderbuffers(1, &FEgl->Color);
    glDeleteRenderbuffers(1, &FEgl->Depth);
    glDeleteFramebuffers(1, &FEgl->Framebuffer);
    FEgl->Framebuffer = FEgl->Color = FEgl->Depth = 0;
}

void TEglOffscreenContext::Resize(int Width, int Height) {
    if (!MakeCurrent())
        return;
    if (std::max(Width, 1) != FWidth || std::max(Height, 1) != FHeight)
        AllocateBuffers(Width, Height);
}

void TEglOffscreenContext::SwapBuffers() {
    if (FEgl->Context == EGL_NO_CONTEXT)
        return;
    // BGRA as packed 0xAARRGGBB words is the rasteriser's own layout: a plain copy.
    const std::size_t row = static_cast<std::size_t>(FWidth);
    FBottomUp.resize(row * static_cast<std::size_t>(FHeight));
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, FWidth, FHeight, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, FBottomUp.data());
    FFront.Width = FWidth;
    FFront.Height = FHeight;
    FFront.Pixels.resize(FBottomUp.size());
    for (int y = 0; y < FHeight; ++y)
        std::memcpy(FFront.Pixels.data() + row * static_cast<std::size_t>(y),
                    FBottomUp.data() + row * static_cast<std::size_t>(FHeight - 1 - y),
                    row * sizeof(std::uint32_t));
}

} // namespace qor
