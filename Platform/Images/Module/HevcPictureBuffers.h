#pragma once
// Picture buffers for libde265, the HEVC decoder libheif uses, that start
// from a defined fill. A damaged stream can leave parts of a picture
// undecoded, and libde265's own buffers would then show whatever the
// allocator left in them, pixels of an earlier image among them. With these,
// such parts come out black.
//
// libde265 lets a caller choose the allocation only for the pictures it
// outputs as decoded, not for those it filters afterwards (most HEIC files),
// and libheif owns the decoder anyway; so the library's process-wide default
// allocation functions are replaced, once, before the first decode.

namespace HevcPictureBuffers {

/// Whether every libde265 picture buffer is filled before use from now on;
/// false, and nothing changed, when the library keeps its defaults where they
/// cannot be written. Safe to call from any thread, any number of times.
bool install();

} // namespace HevcPictureBuffers
