#pragma once

/// Whether translucent top-level windows blend with what lies beneath them. Under a plain X
/// server (no compositing manager, Xvfb included) their transparent pixels paint black, so a
/// window that dims the desktop has to fall back to a shaped window showing only its opaque part.
namespace Compositing {

/// True when a compositing manager owns the X selection `_NET_WM_CM_S<screen>` of the display's
/// default screen. Asked afresh each time: a compositing manager can come and go while Velora
/// runs. On platforms other than X11 (Wayland, offscreen) windows are always composited.
bool isAvailable();

} // namespace Compositing
