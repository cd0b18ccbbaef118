#include "resources/pelinorw_resources.h"

const ResourceSet& pelinorwResources() {
  static const ResourceSet set;
  return set;
}
const std::string& pelinorwTitle() {
  static const std::string title;
  return title;
}
