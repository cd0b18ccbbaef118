#include "resources/pelinorx_resources.h"

const ResourceSet& pelinorxResources() {
  static const ResourceSet set;
  return set;
}
const std::string& pelinorxTitle() {
  static const std::string title;
  return title;
}
