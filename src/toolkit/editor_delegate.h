// SPDX-License-Identifier: ISC
// What the toolkit's controls need of whoever owns the editor: the
// parameters they are bound to, and a way to change them. The instrument's
// editor adds its own operations in a subclass; the toolkit knows only this.
#pragma once

class IParam;

class IGEditorDelegate {
 public:
  virtual ~IGEditorDelegate() = default;
  // The parameter, or nullptr if there is none with this index.
  virtual const IParam* GetParam(int paramIdx) const = 0;
  // A control changed parameter `paramIdx` to this normalised value.
  virtual void SendParameterValueFromUI(int paramIdx, double normalizedValue) = 0;
  // A drag on a control bound to `paramIdx` begins or ends (for host undo
  // and automation recording).
  virtual void BeginInformHostOfParamChangeFromUI(int) {}
  virtual void EndInformHostOfParamChangeFromUI(int) {}
};
