// The HTML template, read whole as text in code page 932 or UTF-8. Reading
// follows the Windows text mode: CR LF becomes LF and a 0x1A byte ends the
// text. A byte order mark is no text.
#pragma once

#include <string>
#include <string_view>

#include "platform/FileSys.h"
#include "platform/Memory.h"
#include "platform/TextEncoding.h"

class CTemplateFile {
public:
    explicit CTemplateFile(std::string_view path);

    bool IsOpen() const { return stream_ != nullptr; }

    // Reads the file from its start, replacing the text held before; returns
    // the number of bytes of text, 0 when no file is open or it could not be
    // read (then there is no text; ReadStatus tells why) or is UTF-16
    // (IsUtf16; no text either).
    int Read();
    platform::ReadStatus ReadStatus() const { return status_; }
    bool IsUtf16() const { return found_.utf16; }

    // The template's encoding: `choice`, or what its bytes tell; a
    // template of ASCII alone without a declaration takes `otherwise`
    // (the CSV's).
    platform::TextEncoding Encoding(platform::EncodingChoice choice,
                                    platform::TextEncoding otherwise) const;
    // What its bytes tell, `otherwise` for ASCII alone.
    platform::TextEncoding DetectedEncoding(platform::TextEncoding otherwise) const;
    // The WHATWG name of the encoding the template declares ("EUC-JP") when
    // it is neither UTF-8 nor Shift_JIS, which the program cannot read;
    // empty otherwise. Its bytes then tell the encoding, as without a
    // declaration.
    const std::string& UnreadCharset() const { return found_.unreadCharset; }
    // Whether the file began with a byte order mark.
    bool HasBom() const { return found_.bomLength > 0; }

    // The text of the last Read, NUL-terminated; null before the first Read.
    const char* GetText() const { return read_ ? text_.Data() : nullptr; }

    // The line (from 1) in which a NUL byte cuts the text short, or 0 when
    // the text holds no NUL.
    int NulLine() const;
    // The line (from 1) of a 0x1A byte that ended the text before more
    // text (anything but line ends and further 0x1A bytes), or 0.
    int EofLine() const { return eofLine_; }

private:
    // In place; returns the size of the text.
    static size_t Translate(char* bytes, size_t size);

    platform::FilePtr stream_;
    platform::ByteBuffer text_;
    bool read_ = false;
    platform::ReadStatus status_ = platform::ReadStatus::kCannotOpen;
    int eofLine_ = 0;
    platform::DetectedText found_;
};
