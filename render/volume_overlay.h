// The shadow volume shown over the frame (F3): drawn after the frame's
// passes, in the depth they left, under the projection the frame drew with.
#pragma once

// fromBehind: the volume as the second shadow mode builds it, closed, with
// both caps; otherwise the open sides the first mode draws.
void drawVolumeOverlay(bool fromBehind);
