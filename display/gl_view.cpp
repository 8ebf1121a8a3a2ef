#include "display/gl_view.h"

#ifdef _WIN32
#include <windows.h>  // the GL headers there need its calling conventions
#endif
#include <GL/gl.h>
#include <GL/glu.h>

namespace lumek::display {

namespace {

GLuint textureId = 0;

}  // namespace

void resizeView(int width, int height) {
    if (height == 0) height = 1;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, static_cast<double>(width) / static_cast<double>(height),
                   static_cast<double>(0.1f), 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool initGlState(bool linearFiltering) {
    glGenTextures(1, &textureId);
    glBindTexture(GL_TEXTURE_2D, textureId);
    const GLint filter = linearFiltering ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    return true;
}

float texelInset(const QuadOptions& quad) {
    return quad.linearFiltering ? 0.5f / static_cast<float>(quad.renderSize) : 0.0f;
}

void drawImage(const FrameImage& image, const QuadOptions& quad) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -5.0f);

    const float i = texelInset(quad);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, quad.renderSize, quad.renderSize, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, image.pixels.get());
    glBindTexture(GL_TEXTURE_2D, textureId);

    // Texture row 0 (the image's first row) at the top of the screen.
    const float s = quad.quadScale;
    const float w = s * 1.33f;
    glBegin(GL_QUADS);
    glTexCoord2f(i, 1.0f - i);
    glVertex3f(-w, -s, 1.0f);
    glTexCoord2f(1.0f - i, 1.0f - i);
    glVertex3f(w, -s, 1.0f);
    glTexCoord2f(1.0f - i, i);
    glVertex3f(w, s, 1.0f);
    glTexCoord2f(i, i);
    glVertex3f(-w, s, 1.0f);
    glEnd();
}

bool presentFrame(TimelineState& timeline, SceneLibrary& library, uint32_t elapsedMs,
                  RayRenderer& renderer, const FrameImage& image, const QuadOptions& quad) {
    Vec2 viewCentre, axisX, axisY;
    float viewHeight = 1.0f;
    if (!stepTimeline(timeline, library, elapsedMs, viewCentre, axisX, axisY, viewHeight))
        return false;
    renderer.render(*timeline.currentShapes, viewCentre, axisX, axisY, viewHeight);
    drawImage(image, quad);
    return true;
}

}  // namespace lumek::display
