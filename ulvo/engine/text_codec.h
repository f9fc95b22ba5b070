#pragma once

#include <string>
#include <string_view>

namespace ulvo {

// Data bytes stand for Latin-1 characters in the XML documents, so every byte value
// survives a round trip through a document.
std::string BytesToText(std::string_view bytes);
// The same, appended to text.
void AppendBytesAsText(std::string& text, std::string_view bytes);
// Characters above U+00FF have no byte and become '?'; malformed UTF-8 bytes pass as they are.
std::string TextToBytes(std::string_view text);

// Hexadecimal pairs as sscanf "%2x" reads them at every even offset; an odd last
// character is dropped and a pair that reads nothing adds nothing.
std::string HexToBytes(const std::string& hex);
// Every byte as two upper-case hexadecimal digits.
std::string BytesToHex(std::string_view bytes);

// The C library's atof and atoi in the C locale whatever the process locale is. Numbers are
// decimal only: hexadecimal, "inf" and "nan" read as far as their decimal start ("0x10" is 0).
double ReadDouble(std::string_view text);
int ReadInt(std::string_view text);

// printf "%.*f" in the C locale; a negative number of decimals gives six, as printf does.
std::string FormatFixed(double value, int decimals);
// FormatFixed(ReadDouble(text), decimals) worked out on the text itself, where that is
// certain to give the same: a plain decimal ("-12.3456") of at most 15 digits, padded or
// rounded to at most 15, neither a tie nor a negative zero. False (text unchanged) otherwise.
bool RoundDecimalText(std::string& text, int decimals);

// Replaces the first "%s" of a message with the argument.
std::string FormatMessage(std::string_view text, std::string_view argument);

// Decodes one UTF-8 sequence at text[i]; false (and one byte consumed) when malformed, an
// overlong form, a surrogate or above U+10FFFF.
bool NextCodePoint(std::string_view text, size_t& i, unsigned long& code);
// Appends a code point (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& out, unsigned long code);

// The first character of UTF-8 text that a definition or the settings cannot keep in a name,
// an identifier or a label, written "U+0001"; empty when there is none. Refused: control
// characters (U+0000-U+001F, U+007F-U+009F: most cannot be stored at all, and a tab or a line
// end would be read back as a blank), the non-characters U+FFFE and U+FFFF, and bytes that
// are not UTF-8.
std::string FirstUnstorableCharacter(std::string_view utf8);
// The text without those characters; first (when given) names the first one left out.
std::string RemoveUnstorableCharacters(std::string_view utf8, std::string* first);

// Whether text may stand as an element name of an XML document.
bool IsXmlName(std::string_view text);

}  // namespace ulvo
