/* Lumek: two-dimensional soft lighting rendered on the processor, the same
 * bytes on every platform. The C interface to its renderer.
 *
 * Conventions
 * - Every function returns a status (LUMEK_OK, or a LUMEK_ERROR_... code);
 *   a bad argument is a status, never a crash. No C++ exception leaves the
 *   library.
 * - Handles are opaque; what a lumek_..._create or lumek_scene_from_...
 *   gives, the caller releases with the matching lumek_..._destroy
 *   (destroying NULL does nothing).
 * - Failures that have more to say write it into a caller's lumek_error:
 *   one line, such as "scene.json:12:5: shapes[3].radius: expected a
 *   number", as the command line says it. Pass NULL when not wanted.
 *
 * Threads
 * - A scene is never changed after it is made: any number of threads may
 *   read and render the same scene at once.
 * - A renderer is used by one thread at a time; different renderers may
 *   render at the same time on different threads.
 * - The version functions and lumek_status_text may be called from any
 *   thread at any time.
 *
 * Pictures
 * - A picture is width x height pixels (1 .. LUMEK_MAX_EDGE each), rows top
 *   to bottom, each pixel 3 bytes (LUMEK_RGB8: red, green, blue) or 4
 *   (LUMEK_RGBA8: red, green, blue, 255). Rows start `stride` bytes apart
 *   (at least width x the pixel's bytes); bytes between rows are left as
 *   they are. Frame N and a time T give exactly the bytes of
 *   `lumek --scene FILE -png --size WxH` for the same moment.
 */
#ifndef LUMEK_LUMEK_H
#define LUMEK_LUMEK_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32) && defined(LUMEK_SHARED)
#  if defined(LUMEK_BUILDING)
#    define LUMEK_API __declspec(dllexport)
#  else
#    define LUMEK_API __declspec(dllimport)
#  endif
#elif defined(__GNUC__) && defined(LUMEK_BUILDING)
#  define LUMEK_API __attribute__((visibility("default")))
#else
#  define LUMEK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Version ------------------------------------------------------------ */

#define LUMEK_VERSION_MAJOR 1
#define LUMEK_VERSION_MINOR 1
#define LUMEK_VERSION_PATCH 0
/* One number that grows with every version: 10100 for 1.1.0. */
#define LUMEK_VERSION_NUMBER (LUMEK_VERSION_MAJOR * 10000 + LUMEK_VERSION_MINOR * 100 + LUMEK_VERSION_PATCH)
#define LUMEK_VERSION_STRING "1.1.0"

/* The library's version at run time, as LUMEK_VERSION_NUMBER. */
LUMEK_API uint32_t lumek_version(void);
/* "1.1.0"; never NULL, never freed. */
LUMEK_API const char* lumek_version_string(void);

/* ---- Status ------------------------------------------------------------- */

typedef enum lumek_status {
    LUMEK_OK = 0,
    LUMEK_ERROR_NULL_ARGUMENT = 1,   /* a pointer that must be given was NULL */
    LUMEK_ERROR_INVALID_ARGUMENT = 2, /* a size, stride, format, frame, time or count out of range */
    LUMEK_ERROR_BAD_SCENE = 3,       /* the text or file is no scene (the error says why and where) */
    LUMEK_ERROR_FILE = 4,            /* the file could not be read (the error says why) */
    LUMEK_ERROR_OUT_OF_MEMORY = 5,
    LUMEK_ERROR_INTERNAL = 6         /* a fault inside the library */
} lumek_status;

/* A short fixed description of a status; never NULL, never freed. */
LUMEK_API const char* lumek_status_text(lumek_status status);

/* What went wrong, filled by the functions that take one. */
#define LUMEK_ERROR_TEXT_SIZE 1024
typedef struct lumek_error {
    lumek_status status;
    /* One line, NUL-terminated, cut at LUMEK_ERROR_TEXT_SIZE - 1 bytes. */
    char message[LUMEK_ERROR_TEXT_SIZE];
} lumek_error;

/* ---- Scenes ------------------------------------------------------------- */

typedef struct lumek_scene lumek_scene;

/* Reads a scene from `size` bytes of JSON text; `name` (may be NULL) names
 * it in errors. On success *scene is the new scene; otherwise *scene is
 * NULL and `error` (may be NULL) says what and where. */
LUMEK_API lumek_status lumek_scene_from_json(const char* text, size_t size, const char* name,
                                             lumek_scene** scene, lumek_error* error);

/* Reads a scene file: a regular file within the scene reader's size limit
 * (32 MiB); anything else is LUMEK_ERROR_FILE, saying why. */
LUMEK_API lumek_status lumek_scene_from_file(const char* path, lumek_scene** scene,
                                             lumek_error* error);

LUMEK_API void lumek_scene_destroy(lumek_scene* scene);

#define LUMEK_MAX_EDGE 16384

typedef struct lumek_scene_info {
    int32_t width;        /* the file's picture size, else 1024 x 768 */
    int32_t height;
    double duration;      /* seconds; 0 for a still scene */
    int32_t fps;          /* frames a second (30 when the file gives none) */
    int64_t frame_count;  /* frames of the whole run; 1 for a still scene */
    size_t shape_count;   /* shapes as written in the file */
    size_t segment_count; /* discs and segments it expands to (what is rendered) */
    uint32_t seed;
    int animated;         /* 1 when the file has a duration */
} lumek_scene_info;

LUMEK_API lumek_status lumek_scene_get_info(const lumek_scene* scene, lumek_scene_info* info);

/* ---- Rendering ---------------------------------------------------------- */

typedef enum lumek_format {
    LUMEK_RGB8 = 3,  /* 3 bytes a pixel */
    LUMEK_RGBA8 = 4  /* 4 bytes a pixel, alpha 255 */
} lumek_format;

/* A caller's picture buffer. */
typedef struct lumek_image {
    void* pixels;
    int32_t width;
    int32_t height;
    size_t stride; /* bytes from one row's start to the next's */
    lumek_format format;
} lumek_image;

/* Keeps its threads, frame and shapes between pictures: rendering many
 * pictures of the same size with one renderer costs no set-up after the
 * first. `threads` workers share each picture; 0 means every processor
 * this process may use. */
typedef struct lumek_renderer lumek_renderer;

LUMEK_API lumek_status lumek_renderer_create(int32_t threads, lumek_renderer** renderer,
                                             lumek_error* error);
LUMEK_API void lumek_renderer_destroy(lumek_renderer* renderer);
/* The number of workers it renders on. */
LUMEK_API lumek_status lumek_renderer_threads(const lumek_renderer* renderer, int32_t* threads);

/* Renders frame `frame` (0 .. frame_count - 1) of `scene` into `image`. */
LUMEK_API lumek_status lumek_renderer_render_frame(lumek_renderer* renderer,
                                                   const lumek_scene* scene, int64_t frame,
                                                   const lumek_image* image, lumek_error* error);

/* Renders the moment `seconds` (0 .. 86400) with the jitter of the frame it
 * falls in, as the command line's --time. */
LUMEK_API lumek_status lumek_renderer_render_time(lumek_renderer* renderer,
                                                  const lumek_scene* scene, double seconds,
                                                  const lumek_image* image, lumek_error* error);

/* One picture without a kept renderer: makes one on `threads` workers
 * (0: all), renders frame `frame`, releases it. */
LUMEK_API lumek_status lumek_render_frame(const lumek_scene* scene, int64_t frame,
                                          int32_t threads, const lumek_image* image,
                                          lumek_error* error);

#ifdef __cplusplus
}
#endif

#endif /* LUMEK_LUMEK_H */
