// Text of the previews: entry kinds by extension and the conversions of
// extracted bytes (plain text, HTML, RTF and Word documents) into the
// memo's text. Buffers hold at most Limit bytes and a terminating zero.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class TStringList;

// No extension, or one in the text extension list.
bool IsTextEntry(const std::string& Name);
// 1 ".doc"/".rtf", 2 ".htm"/".html", 0 anything else.
int GetDocumentKind(const std::string& Name);

namespace preview {

// Bytes up to the first zero, LF made CR LF, cut at Limit bytes.
std::string PlainText(const char* Buffer, size_t Limit);
// Memo lines: CR, LF and CR LF each end a line; lines joined with CR LF.
std::string MemoLines(const std::string& Text);
std::string HtmlText(const char* Buffer, size_t Limit);
// An RTF, a Word document or plain text, by the first bytes.
std::string DocumentText(const char* Buffer, size_t Limit);
std::string RtfText(const char* Buffer, size_t Limit);
std::string WordText(const uint8_t* Buffer, size_t Limit);

}  // namespace preview
