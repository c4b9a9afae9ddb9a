// SPDX-License-Identifier: ISC
// Program files: the VST 2 program file in its opaque-chunk form ("FPCh"),
// which wraps the plug-in's state chunk, and the parameter-list form ("FxCk")
// on loading. All integers big-endian.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/plugin_base.h"

namespace {

constexpr int kHeaderSize = 60;  // up to and including the chunk size field
constexpr int kNameSize = 28;
constexpr char kStateMarker[4] = {'t', 'f', 'f', 'p'};
constexpr int kStateVersion = 0x00010000;
constexpr size_t kMaxProgramFile = 1 << 20;  // far above any program of this plug-in

void putBigEndian(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

uint32_t bigEndianAt(const std::vector<uint8_t>& in, size_t pos) {
  return uint32_t{in[pos]} << 24 | uint32_t{in[pos + 1]} << 16 | uint32_t{in[pos + 2]} << 8 | in[pos + 3];
}

void putTag(std::vector<uint8_t>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i] ? tag[i] : ' '));
}

bool tagAt(const std::vector<uint8_t>& in, size_t pos, const char* tag) {
  return std::memcmp(in.data() + pos, tag, 4) == 0;
}

int versionDigits(int vendorVersion) {
  return (vendorVersion >> 16) * 10000 + ((vendorVersion >> 8) & 0xFF) * 100 + (vendorVersion & 0xFF);
}

bool readWholeFile(const char* path, std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  uint8_t buffer[4096];
  bool ok = true;
  while (ok) {
    const size_t n = std::fread(buffer, 1, sizeof buffer, file);
    bytes.insert(bytes.end(), buffer, buffer + n);
    if (bytes.size() > kMaxProgramFile) ok = false;
    if (n < sizeof buffer) break;
  }
  ok = ok && !std::ferror(file);
  std::fclose(file);
  return ok;
}

}  // namespace

std::vector<uint8_t> IPluginBase::MakeProgramFile(int presetIdx) const {
  std::vector<uint8_t> out;
  if (presetIdx < 0 || presetIdx >= NPresets()) return out;
  const IPreset& preset = mPresets[presetIdx];
  std::vector<uint8_t> chunk(kStateMarker, kStateMarker + 4);
  for (int shift = 0; shift < 32; shift += 8) chunk.push_back(static_cast<uint8_t>(kStateVersion >> shift));
  chunk.insert(chunk.end(), preset.chunk.GetData(), preset.chunk.GetData() + preset.chunk.Size());

  putTag(out, "CcnK");
  putBigEndian(out, static_cast<uint32_t>(chunk.size() + kHeaderSize));
  putTag(out, "FPCh");
  putBigEndian(out, 1);
  putTag(out, mConfig.uniqueID);
  putBigEndian(out, static_cast<uint32_t>(versionDigits(mConfig.vendorVersion)));
  putBigEndian(out, static_cast<uint32_t>(NParams()));
  char name[kNameSize] = {};
  std::memcpy(name, preset.name.data(), std::min(preset.name.size(), sizeof name));  // cut, zero-padded
  out.insert(out.end(), name, name + kNameSize);
  putBigEndian(out, static_cast<uint32_t>(chunk.size()));
  out.insert(out.end(), chunk.begin(), chunk.end());
  return out;
}

bool IPluginBase::SavePresetAsFXP(const char* path) {
  if (!path || !*path) return false;
  const std::vector<uint8_t> bytes = MakeProgramFile(mCurrentPresetIdx);
  // Written beside the target and renamed over it, so that a failed save
  // never leaves a half-written program where a good one was.
  const std::string target = path;
  const std::string temporary = target + ".part";
  FILE* file = std::fopen(temporary.c_str(), "wb");
  if (!file) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  ok = std::fflush(file) == 0 && ok;
  ok = std::fclose(file) == 0 && ok;
  ok = ok && std::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) unlink(temporary.c_str());
  return ok;
}

bool IPluginBase::ReadProgramFromFXP(const char* path, ProgramImage& program) const {
  std::vector<uint8_t> bytes;
  return path && readWholeFile(path, bytes) && ReadProgramFile(bytes, program);
}

bool IPluginBase::LoadPresetFromFXP(const char* path) {
  std::vector<uint8_t> bytes;
  if (!path || !readWholeFile(path, bytes)) return false;
  return LoadProgramFile(bytes);
}

bool IPluginBase::LoadProgramFile(const std::vector<uint8_t>& bytes) {
  ProgramImage program;
  if (!ReadProgramFile(bytes, program)) return false;
  ApplyProgram(program);
  ModifyCurrentPreset(program.name[0] ? program.name : nullptr);
  return true;
}

bool IPluginBase::ReadProgramFile(const std::vector<uint8_t>& bytes, ProgramImage& program) const {
  // Everything is checked against the bytes really there: a truncated file,
  // a chunk size past its end or a parameter count beyond the data is refused.
  if (bytes.size() < 56 || !tagAt(bytes, 0, "CcnK") || bigEndianAt(bytes, 12) != 1) return false;
  if (!tagAt(bytes, 16, mConfig.uniqueID)) return false;
  const bool opaque = tagAt(bytes, 8, "FPCh");
  if (!opaque && !tagAt(bytes, 8, "FxCk")) return false;
  program = ProgramImage();
  static_assert(ProgramImage::kNameSize > kNameSize, "room for the name and its end");
  std::memcpy(program.name, bytes.data() + 28, kNameSize);
  program.opaque = opaque;
  if (opaque) {
    if (bytes.size() < kHeaderSize) return false;
    const uint32_t chunkSize = bigEndianAt(bytes, 56);
    if (chunkSize > bytes.size() - kHeaderSize) return false;
    program.size = static_cast<int>(std::min<uint32_t>(chunkSize, ProgramImage::kMaxChunk));
    std::memcpy(program.chunk, bytes.data() + kHeaderSize, static_cast<size_t>(program.size));
    const bool marked = chunkSize >= 8 && std::memcmp(bytes.data() + kHeaderSize, kStateMarker, 4) == 0;
    program.start = marked ? 8 : 0;
  } else {
    const uint32_t count = bigEndianAt(bytes, 24);
    if (count > static_cast<uint32_t>(NParams()) || count > ProgramImage::kMaxValues ||
        56 + 4 * size_t{count} > bytes.size())
      return false;
    program.count = static_cast<int>(count);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t raw = bigEndianAt(bytes, 56 + 4 * i);
      std::memcpy(&program.values[i], &raw, sizeof(float));
    }
  }
  return true;
}

void IPluginBase::SetCurrentPresetName(const char* name) {
  if (name && *name) mPresets[mCurrentPresetIdx].name = name;
}

void IPluginBase::ApplyProgram(const ProgramImage& program) {
  if (program.opaque) {
    // The scratch chunk has its room from construction, so that the audio
    // thread never grows it.
    mProgramScratch.Clear();
    mProgramScratch.PutBytes(program.chunk, program.size);
    UnserializeState(mProgramScratch, program.start);
    InformHostOfProgram();
  } else {
    for (int i = 0; i < program.count && i < NParams(); ++i) GetParam(i)->SetNormalized(program.values[i]);
    ApplyParameterValues();
  }
}

void IPluginBase::ApplyParameterValues() {
  // Through the plug-in's own state, so that the values take effect in one
  // restore and everything else the state holds stays as it is.
  mProgramScratch.Clear();
  SerializeState(mProgramScratch);
  UnserializeState(mProgramScratch, 0);
  InformHostOfProgram();
}

void IPluginBase::InformHostOfProgram() {
  // A program is the user's choice, not the host's: the host learns every
  // value it set.
  for (int i = 0; i < NParams(); ++i) InformHostOfParamChange(i, GetParam(i)->GetNormalized());
  InformHostOfProgramChange();
}
