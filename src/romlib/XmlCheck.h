#pragma once
// What pugixml reads differently from the text of an XML document. pugixml
// does not process a document type declaration: it never expands the
// entities one declares ("&t;" stays "&t;", and the title filter then makes
// it "&T"), and it does not complain about a reference to an entity nobody
// declared. It also takes a second root element without a word. Our files
// have none of these; a file that has one is refused rather than read as
// something other than it says.
#include <pugixml.hpp>

#include <string>

namespace korva {

// The flags to parse a document with for XmlReadingProblem: a document type
// declaration is kept as a node, and references are left as written.
constexpr unsigned kXmlCheckParse =
    (pugi::parse_default | pugi::parse_doctype | pugi::parse_ws_pcdata_single) & ~pugi::parse_escapes;

// The first of these in `doc` (parsed with kXmlCheckParse), as a sentence the
// user reads, or an empty text: a document type declaration; a second root
// element; a reference to an entity other than XML's five (&amp; &lt; &gt;
// &quot; &apos;) and character references, in a text or an attribute value.
std::string XmlReadingProblem(const pugi::xml_document& doc);

// The first two alone, for a document parsed with references read (any
// flags that include parse_doctype).
std::string XmlStructureProblem(const pugi::xml_document& doc);

}  // namespace korva
