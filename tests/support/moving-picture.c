/* A Wayland client that shows a known moving picture for the screen-cast tests: its left half
 * turns red, green, blue, red, ... every ten frames the compositor asks for; its right half stays
 * 0xc81e32, every byte different, so that swapped colour channels or a misplaced area show. It
 * takes the size the compositor offers (the whole headless output, under sway's tiling).
 *
 * With MOVING_PICTURE_BARS=1 in its environment it draws what the recording benchmark records on
 * both desktops instead: sixteen bars whose colours shift and a black square that moves, a new
 * picture every frame. */
#define _GNU_SOURCE
#include "xdg-shell-client-protocol.h"

#include <wayland-client.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#define BUFFERS 4

static struct wl_compositor *compositor;
static struct wl_shm *shm;
static struct xdg_wm_base *windowManager;
static struct wl_surface *surface;
static int width, height, configured;
// The size the compositor asks for; the tiling gives the whole output only after the first
// picture, so a change makes new buffers.
static int wantedWidth = 640, wantedHeight = 480;
static uint8_t *memory;
static size_t memorySize;
static unsigned frame;
static int bars;

struct buffer
{
    struct wl_buffer *buffer;
    uint32_t *pixels;
    int busy;
} buffers[BUFFERS];

static void released(void *data, struct wl_buffer *buffer)
{
    ((struct buffer *)data)->busy = 0;
}
static const struct wl_buffer_listener bufferListener = {released};

static void makeBuffers(void)
{
    for (int i = 0; i < BUFFERS; i++)
        if (buffers[i].buffer)
            wl_buffer_destroy(buffers[i].buffer);
    if (memory)
        munmap(memory, memorySize);
    width = wantedWidth;
    height = wantedHeight;
    const int stride = width * 4, size = stride * height * BUFFERS;
    const int fd = memfd_create("moving-picture", 0);
    if (fd < 0 || ftruncate(fd, size) != 0)
        abort();
    memory = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    memorySize = size;
    if (memory == MAP_FAILED)
        abort();
    struct wl_shm_pool *pool = wl_shm_create_pool(shm, fd, size);
    for (int i = 0; i < BUFFERS; i++) {
        buffers[i].buffer = wl_shm_pool_create_buffer(pool, i * stride * height, width, height,
                                                      stride, WL_SHM_FORMAT_XRGB8888);
        buffers[i].pixels = (uint32_t *)(memory + i * stride * height);
        buffers[i].busy = 0;
        wl_buffer_add_listener(buffers[i].buffer, &bufferListener, &buffers[i]);
    }
    wl_shm_pool_destroy(pool);
    close(fd);
}

static void draw(void);
static void frameDone(void *data, struct wl_callback *callback, uint32_t time)
{
    wl_callback_destroy(callback);
    draw();
}
static const struct wl_callback_listener frameListener = {frameDone};

static void draw(void)
{
    static const uint32_t cycle[3] = {0xffff0000, 0xff00ff00, 0xff0000ff};
    struct buffer *free = NULL;
    for (int i = 0; i < BUFFERS && !free; i++)
        if (!buffers[i].busy)
            free = &buffers[i];
    wl_callback_add_listener(wl_surface_frame(surface), &frameListener, NULL);
    if (free && bars) {
        for (int x = 0; x < width; x++) {
            const uint32_t shade = ((x * 16 / width) * 22 + frame * 3) & 0xff;
            free->pixels[x] = 0xff000080 | shade << 16 | (255 - shade) << 8;
        }
        for (int y = 1; y < height; y++)
            memcpy(free->pixels + y * width, free->pixels, width * 4);
        const int left = (frame * 17) % width;
        for (int y = height / 3; y < height / 3 + 200 && y < height; y++)
            for (int x = left; x < left + 200 && x < width; x++)
                free->pixels[y * width + x] = 0xff000000;
    } else if (free) {
        const uint32_t left = cycle[(frame / 10) % 3];
        for (int y = 0; y < height; y++)
            for (int x = 0; x < width; x++)
                free->pixels[y * width + x] = x < width / 2 ? left : 0xffc81e32;
    }
    if (free) {
        wl_surface_attach(surface, free->buffer, 0, 0);
        wl_surface_damage(surface, 0, 0, width, height);
        free->busy = 1;
        frame++;
    }
    wl_surface_commit(surface);
}

static void ping(void *data, struct xdg_wm_base *base, uint32_t serial)
{
    xdg_wm_base_pong(base, serial);
}
static const struct xdg_wm_base_listener windowManagerListener = {ping};

static void surfaceConfigured(void *data, struct xdg_surface *xdgSurface, uint32_t serial)
{
    xdg_surface_ack_configure(xdgSurface, serial);
    if (wantedWidth != width || wantedHeight != height)
        makeBuffers();
    if (!configured) {
        configured = 1;
        draw();
    }
}
static const struct xdg_surface_listener surfaceListener = {surfaceConfigured};

static void toplevelConfigured(void *data, struct xdg_toplevel *toplevel, int32_t w, int32_t h,
                               struct wl_array *states)
{
    if (w > 0 && h > 0) {
        wantedWidth = w;
        wantedHeight = h;
    }
}
static void toplevelClosed(void *data, struct xdg_toplevel *toplevel)
{
    exit(0);
}
static const struct xdg_toplevel_listener toplevelListener
        = {.configure = toplevelConfigured, .close = toplevelClosed};

static void global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                   uint32_t version)
{
    if (!strcmp(interface, wl_compositor_interface.name))
        compositor = wl_registry_bind(registry, name, &wl_compositor_interface, 4);
    else if (!strcmp(interface, wl_shm_interface.name))
        shm = wl_registry_bind(registry, name, &wl_shm_interface, 1);
    else if (!strcmp(interface, xdg_wm_base_interface.name))
        windowManager = wl_registry_bind(registry, name, &xdg_wm_base_interface, 1);
}
static void globalRemoved(void *data, struct wl_registry *registry, uint32_t name) { }
static const struct wl_registry_listener registryListener = {global, globalRemoved};

int main(void)
{
    const char *barsAsked = getenv("MOVING_PICTURE_BARS");
    bars = barsAsked && !strcmp(barsAsked, "1");
    struct wl_display *display = wl_display_connect(NULL);
    if (!display) {
        fprintf(stderr, "moving-picture: no Wayland display\n");
        return 1;
    }
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, NULL);
    wl_display_roundtrip(display);
    if (!compositor || !shm || !windowManager) {
        fprintf(stderr, "moving-picture: the compositor lacks xdg-shell or shared memory\n");
        return 1;
    }
    xdg_wm_base_add_listener(windowManager, &windowManagerListener, NULL);
    surface = wl_compositor_create_surface(compositor);
    struct xdg_surface *xdgSurface = xdg_wm_base_get_xdg_surface(windowManager, surface);
    xdg_surface_add_listener(xdgSurface, &surfaceListener, NULL);
    struct xdg_toplevel *toplevel = xdg_surface_get_toplevel(xdgSurface);
    xdg_toplevel_add_listener(toplevel, &toplevelListener, NULL);
    xdg_toplevel_set_title(toplevel, "moving picture");
    wl_surface_commit(surface);
    while (wl_display_dispatch(display) != -1) { }
    return 0;
}
