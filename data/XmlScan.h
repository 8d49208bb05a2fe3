// A small XML reader for the parts of a workbook, where no XML library is
// to be had (the Windows build): UTF-8 documents without a document type,
// read whole, told element by element as a SAX parser tells them.
#pragma once

#include <string_view>

namespace data {

class XmlEvents {
public:
    virtual ~XmlEvents() = default;
    // `name` as written ("table:table"); `attributes` name, value, ...,
    // null; values with their references resolved and their white space
    // made spaces.
    virtual void Start(const char* name, const char** attributes) = 0;
    virtual void End(const char* name) = 0;
    // Character data, references resolved and line breaks made LF; one
    // run of text may come in several pieces.
    virtual void Text(std::string_view text) = 0;
    // Set by a handler to end the reading at once.
    bool stop = false;
};

enum class XmlScanned {
    kRead,
    kStopped,    // a handler set `stop`
    kMalformed,  // not well-formed, not UTF-8, or with a document type
};

XmlScanned ScanXml(std::string_view document, XmlEvents& events);

}  // namespace data
