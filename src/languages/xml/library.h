// libxml2, loaded the first time an XML document is read: its shared
// library costs nearly 3 MiB of resident pages in every run that maps it,
// and its archive needs ICU, so the utility is not linked with it. The few
// procedures the XML module calls are taken from it into one table, each
// typed from libxml2's own header.
#ifndef MATCHLING_XML_LIBRARY_H
#define MATCHLING_XML_LIBRARY_H

#if MATCHLING_HAVE_LIBXML2

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

struct XmlLibrary {
    decltype(&::xmlFreeParserCtxt) freeParserCtxt;
    decltype(&::xmlCreateMemoryParserCtxt) createMemoryParserCtxt;
    decltype(&::xmlCtxtUseOptions) ctxtUseOptions;
    decltype(&::xmlParseDocument) parseDocument;
    decltype(&::xmlCtxtGetLastError) ctxtGetLastError;
    decltype(&::xmlFreeDoc) freeDoc;
    decltype(&::xmlSetGenericErrorFunc) setGenericErrorFunc;
    decltype(&::xmlBufferCreate) bufferCreate;
    decltype(&::xmlBufferFree) bufferFree;
    decltype(&::xmlNodeDump) nodeDump;
};

// The table, libxml2 loaded and set up (its parser initialised, external
// entities never loaded, whatever a document asks) on the first call;
// nullptr when libxml2.so.2 cannot be loaded or lacks one of them. Safe to
// call from several threads.
const XmlLibrary *xmlLibrary();

#endif

#endif
