// A small catalogue written into the working folder, for the tests of the windows that show
// one: an index line per recipe, and its text in the one recipe base.
#ifndef SAUCELINS_CATALOGUE_SMALL_CATALOGUE_TEST_H
#define SAUCELINS_CATALOGUE_SMALL_CATALOGUE_TEST_H

#include <cstdint>
#include <string>
#include <vector>

#include "platform/file_bytes_test.h"

namespace testfiles {

// Titles and paths in Windows-1252 bytes, as the index holds them.
struct Recipe {
  uint32_t id;
  const char* title;
  const char* path;
};

// The text stored for a recipe: its title, a blank line, the start of its ingredients.
inline std::string TextOf(const char* title) {
  return std::string(title) + "\r\n\r\nIngr\xE9" "dients : ...\r\n";
}

// Gourmix.Idx and Gourmix.Dat holding `recipes`, their texts back to back.
inline void WriteCatalogue(const std::vector<Recipe>& recipes) {
  std::string index, data;
  for (const Recipe& r : recipes) {
    const size_t start = data.size();
    data += TextOf(r.title);
    index += std::to_string(r.id) + "\t" + r.title + "\t0\t" + std::to_string(start) + "\t" +
             std::to_string(data.size()) + "\t" + r.path + "\tGourmix.Dat\t0\r\n";
  }
  Put("Gourmix.Dat", data);
  Put("Gourmix.Idx", index);
}

}  // namespace testfiles

#endif
