#pragma once
// Text from model files inside the XML that SVG and OpenRaster files hold.
#include <string>

// Text for an attribute: XML's specials escaped; bytes XML 1.0 forbids
// (controls, broken UTF-8) become U+FFFD, so any name gives a well-formed file.
std::string XmlAttributeText(const std::string& text);
