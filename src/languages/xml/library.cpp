// libxml2 loaded with dlopen, its procedures taken with dlsym.
#include "languages/xml/library.h"

#if MATCHLING_HAVE_LIBXML2

#include <dlfcn.h>

#include <mutex>

namespace {

// The loader of every external entity and DTD: none is read, from a file or
// the network.
xmlParserInputPtr noExternalEntity(const char *, const char *, xmlParserCtxtPtr)
{
    return nullptr;
}

// Takes name from handle into to; false when the library has none.
template <typename T> bool take(void *handle, const char *name, T &to)
{
    void *p = dlsym(handle, name);
    to = reinterpret_cast<T>(p);
    return p != nullptr;
}

XmlLibrary library;
bool loaded = false;

void load()
{
    void *handle = dlopen("libxml2.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return;
    void (*initParser)() = nullptr;
    void (*setLoader)(xmlExternalEntityLoader) = nullptr;
    if (!take(handle, "xmlInitParser", initParser) || !take(handle, "xmlSetExternalEntityLoader", setLoader) ||
        !take(handle, "xmlFreeParserCtxt", library.freeParserCtxt) ||
        !take(handle, "xmlCreateMemoryParserCtxt", library.createMemoryParserCtxt) ||
        !take(handle, "xmlCtxtUseOptions", library.ctxtUseOptions) ||
        !take(handle, "xmlParseDocument", library.parseDocument) ||
        !take(handle, "xmlCtxtGetLastError", library.ctxtGetLastError) ||
        !take(handle, "xmlFreeDoc", library.freeDoc) ||
        !take(handle, "xmlSetGenericErrorFunc", library.setGenericErrorFunc) ||
        !take(handle, "xmlBufferCreate", library.bufferCreate) || !take(handle, "xmlBufferFree", library.bufferFree) ||
        !take(handle, "xmlNodeDump", library.nodeDump)) {
        dlclose(handle);
        return;
    }
    initParser();
    setLoader(noExternalEntity);
    loaded = true;
}

} // namespace

const XmlLibrary *xmlLibrary()
{
    static std::once_flag once;
    std::call_once(once, load);
    return loaded ? &library : nullptr;
}

#endif
