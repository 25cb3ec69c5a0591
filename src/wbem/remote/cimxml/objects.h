// The objects of a CIM-XML reply as repository instances: the forms an
// instance arrives in, with the path beside it when the server sends one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "wbem/remote/xml/cim_xml.h"

namespace wbem::cimxml {

// VALUE.NAMEDINSTANCE, VALUE.INSTANCEWITHPATH, VALUE.OBJECTWITHPATH or
// VALUE.OBJECTWITHLOCALPATH holding an instance, or a bare INSTANCE; null
// for anything else (a class, a path alone). Typed by the class `lookup`
// finds, else by the TYPE attributes; then the path marks the keys.
// Throws xml::XmlError for an element it cannot read.
std::shared_ptr<const Instance> readObject(const xmlNode* item, const ClassLookup& lookup);

// A class known only from the object itself: `keys` (the names in the
// object's path) say which properties are keys, so that it has a path as
// well. The instance as it is when its class has keys already.
std::shared_ptr<const Instance> withKeys(std::shared_ptr<const Instance> inst,
                                         const std::vector<std::string>& keys);

}  // namespace wbem::cimxml
