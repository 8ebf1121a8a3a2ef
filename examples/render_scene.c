/* Renders a scene file's picture with Lumek's C interface and writes it as a
 * PNG (or as raw RGB bytes when the name ends in ".rgb").
 *
 *   render_scene_c SCENE.json OUT.png [WIDTH HEIGHT [FRAME]]
 *
 * The size defaults to the scene's own; the frame to 0. */
#include <lumek/lumek.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

static int endsWith(const char* text, const char* end) {
    size_t n = strlen(text), m = strlen(end);
    return n >= m && strcmp(text + n - m, end) == 0;
}

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5 && argc != 6) {
        fprintf(stderr, "usage: %s SCENE.json OUT.png [WIDTH HEIGHT [FRAME]]\n", argv[0]);
        return 2;
    }
    lumek_error error;
    lumek_scene* scene = NULL;
    if (lumek_scene_from_file(argv[1], &scene, &error) != LUMEK_OK) {
        fprintf(stderr, "%s\n", error.message);
        return 1;
    }
    lumek_scene_info info;
    lumek_scene_get_info(scene, &info);
    const int32_t width = argc >= 5 ? atoi(argv[3]) : info.width;
    const int32_t height = argc >= 5 ? atoi(argv[4]) : info.height;
    const int64_t frame = argc == 6 ? atoll(argv[5]) : 0;

    int status = 1;
    unsigned char* pixels = NULL;
    if (width > 0 && height > 0 && width <= LUMEK_MAX_EDGE && height <= LUMEK_MAX_EDGE)
        pixels = malloc((size_t)width * (size_t)height * 3);
    lumek_image image = {pixels, width, height, (size_t)width * 3, LUMEK_RGB8};
    /* 0 threads: every processor this process may use. */
    if (lumek_render_frame(scene, frame, 0, &image, &error) != LUMEK_OK) {
        fprintf(stderr, "%s\n", error.message);
    } else if (endsWith(argv[2], ".rgb")) {
        FILE* out = fopen(argv[2], "wb");
        size_t size = (size_t)width * (size_t)height * 3;
        if (out != NULL && fwrite(pixels, 1, size, out) == size && fclose(out) == 0)
            status = 0;
        else
            fprintf(stderr, "could not write %s\n", argv[2]);
    } else if (stbi_write_png(argv[2], width, height, 3, pixels, width * 3)) {
        status = 0;
    } else {
        fprintf(stderr, "could not write %s\n", argv[2]);
    }
    free(pixels);
    lumek_scene_destroy(scene);
    return status;
}
