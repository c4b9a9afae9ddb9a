// SPDX-License-Identifier: ISC
// The parameter names and list texts as the engine declares them, so the
// panel's legends never disagree with what the host shows.
#pragma once

#include <string>
#include <vector>

struct ParamFacts {
  std::string name;
  std::vector<std::string> texts;  // empty for a continuous parameter
  double minValue = 0, maxValue = 1;
};

// One entry per engine parameter, in index order.
std::vector<ParamFacts> readEngineParameters();
