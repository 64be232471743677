// The picture: the matrix of averages as a heatmap in the clustering's order,
// the dendrogram beside it, location names on both axes, and a colour scale
// with its values. Pairs never compared are grey; pairs compared on fewer
// entries than the minimum are pale, with a dot when the cells are big
// enough. Sizes adapt from 3 to several hundred locations: cells shrink to one
// pixel, labels shrink to a floor and then thin out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "summary/averages.h"
#include "summary/clustering.h"

namespace locprox::summary {

struct PictureText {
  std::string title;         // first line, e.g. the job and the measure
  std::string subtitle;      // second line, e.g. the measure in words
  std::string counts;        // third line, e.g. the counts of pairs
  std::string scale_label;   // above the colour scale
  std::string height_label;  // under the dendrogram's axis
  std::int64_t min_common = 10;
  // The legend's words for the pale cells when they follow another rule
  // than --min-common (the pairs flagged in Averages::few_common).
  std::string pale_rule;
};

std::string heatmap_svg(const Averages& averages, const Dendrogram& tree,
                        const std::vector<std::string>& names, const PictureText& text);

// Standard base64, for the data: URI of the embedded image.
std::string base64(const std::string& bytes);

// Text made safe for XML character data and attribute values.
std::string xml_escape(const std::string& text);

}  // namespace locprox::summary
