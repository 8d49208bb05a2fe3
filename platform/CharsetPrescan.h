// The encoding an HTML file declares in a <meta> tag, found as a browser
// finds it before it reads the page: WHATWG HTML's "prescan a byte stream
// to determine its encoding", over the file's first bytes.
#pragma once

#include <cstddef>
#include <string_view>

namespace platform {

// How far into a file (after a byte order mark) the declaration is looked
// for, as browsers look.
inline constexpr size_t kPrescanBytes = 1024;

// The first declaration within the first kPrescanBytes of `html` that names
// an encoding: `<meta charset=…>`, or `<meta http-equiv="Content-Type"
// content="…; charset=…">`, outside comments and other tags' attributes.
// Its canonical name as EncodingOfLabel gives it; a declared UTF-16 counts
// as UTF-8 and x-user-defined as windows-1252, as in a browser. Empty when
// there is none, or when the bytes end inside a tag or comment.
std::string_view PrescanCharset(std::string_view html);

}  // namespace platform
