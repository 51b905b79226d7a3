// VANTO_EXPORT marks the library's public interface. The shared libvanto is
// built with hidden visibility, so only what carries this mark enters its
// dynamic symbol table; the wire layouts, the RPC and the backend loader stay
// inside the library and may change without breaking a program built against
// an earlier libvanto.so of the same major version.
#pragma once

#if defined(__GNUC__)
#define VANTO_EXPORT [[gnu::visibility("default")]]
#else
#define VANTO_EXPORT
#endif
