// SPDX-License-Identifier: ISC
#include "engine_params.h"

#include "instrument/wobblytone.h"

std::vector<ParamFacts> readEngineParameters() {
  InstanceInfo info;
  info.metadataOnly = true;  // reads no user configuration and writes no files
  info.randomSeed = 1;
  const Wobblytone engine(info);
  std::vector<ParamFacts> params;
  for (int i = 0; i < engine.NParams(); ++i) {
    const IParam* p = engine.GetParam(i);
    ParamFacts facts{p->GetName(), {}, p->GetMin(), p->GetMax()};
    for (int j = 0; j < p->NDisplayTexts(); ++j) facts.texts.emplace_back(p->GetDisplayText(j));
    params.push_back(std::move(facts));
  }
  return params;
}
