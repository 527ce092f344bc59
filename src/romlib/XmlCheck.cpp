#include "romlib/XmlCheck.h"

#include <cctype>
#include <string_view>

namespace korva {

namespace {

constexpr const char* kNoEntities = "the XML reader this program uses (pugixml) does not expand entities";

// The first reference in `text` that is neither one of XML's five nor a
// character reference ("&t;"), or an empty text.
std::string UnknownReference(std::string_view text) {
  for (std::size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1)) {
    const std::size_t end = text.find(';', at);
    const std::string_view name = text.substr(at + 1, end == std::string_view::npos ? 16 : end - at - 1);
    if (name == "amp" || name == "lt" || name == "gt" || name == "quot" || name == "apos") continue;
    if (name.size() > 1 && name[0] == '#') continue;  // pugixml reads character references itself
    return "&" + std::string(name.substr(0, 32)) + (end == std::string_view::npos ? "" : ";");
  }
  return {};
}

std::string ReferenceIn(pugi::xml_node node) {
  for (pugi::xml_attribute attribute : node.attributes())
    if (std::string found = UnknownReference(attribute.value()); !found.empty()) return found;
  if (node.type() == pugi::node_pcdata) return UnknownReference(node.value());
  for (pugi::xml_node child : node.children())
    if (std::string found = ReferenceIn(child); !found.empty()) return found;
  return {};
}

}  // namespace

std::string XmlStructureProblem(const pugi::xml_document& doc) {
  pugi::xml_node root;
  for (pugi::xml_node node : doc.children()) {
    if (node.type() == pugi::node_doctype)
      return std::string("It has a document type declaration (<!DOCTYPE ...>), and ") + kNoEntities +
             " or read the declaration; remove it and write the texts out in full.";
    if (node.type() != pugi::node_element) continue;
    if (root)
      return std::string("It has a second root element <") + node.name() + "> after <" + root.name() +
             ">; an XML document has one.";
    root = node;
  }
  return {};
}

std::string XmlReadingProblem(const pugi::xml_document& doc) {
  if (std::string problem = XmlStructureProblem(doc); !problem.empty()) return problem;
  if (const std::string found = ReferenceIn(doc); !found.empty())
    return "It refers to the entity \"" + found + "\", which is not one of XML's own (&amp; &lt; &gt; &quot; &apos;); " +
           kNoEntities + ".";
  return {};
}

}  // namespace korva
