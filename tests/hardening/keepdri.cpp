// keepdri.cpp -- LD_PRELOAD library for the sanitizer suite: GL drivers stay mapped until exit
//
// Mesa unloads its DRI driver when SDL closes the display, just before the
// intro exits; what the driver still held is then reported by LeakSanitizer
// with an "<unknown module>" frame that no suppression can name. Keeping the
// driver mapped lets lsan.supp attribute those blocks to swrast_dri.so. Every
// other dlclose goes through unchanged. Test-only; never linked into the intro.
#include <dlfcn.h>
#include <link.h>

#include <cstring>

extern "C" int dlclose(void* handle)
{
  static auto realClose = (int (*)(void*))dlsym(RTLD_NEXT, "dlclose");
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name &&
      strstr(map->l_name, "_dri.so"))
    return 0;
  return realClose ? realClose(handle) : 0;
}
