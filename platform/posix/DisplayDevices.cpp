#include "platform/posix/DisplayDevices.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform {
namespace {

constexpr std::uint8_t kEscapeInput[4] = {0xFC, 0x3D, 0x01, 0x00};  // 81404, little-endian
constexpr std::size_t kReplySize = 28;

bool AsksForIdentification(int inputSize, const void* input) {
  return inputSize >= 4 && input != nullptr && std::memcmp(input, kEscapeInput, 4) == 0;
}

}  // namespace

std::vector<std::uint8_t> BoardReply() {
  const char signature[] = "ORLO was here";  // 13 characters and the zero byte
  std::vector<std::uint8_t> reply(signature, signature + sizeof signature);
  // The rest of the reply is the board's own business; the program must not look at it.
  for (std::size_t i = reply.size(); i < kReplySize; ++i)
    reply.push_back(static_cast<std::uint8_t>(0xA5 ^ i));
  return reply;
}

SimulatedDevice SimulatedDevice::Board(std::u16string name, std::u16string key) {
  SimulatedDevice device;
  device.name = std::move(name);
  device.key = std::move(key);
  return device;
}

SimulatedDevice SimulatedDevice::Other(std::u16string name, std::u16string key) {
  return Custom(std::move(name), std::move(key), 0, 0, {});
}

SimulatedDevice SimulatedDevice::Custom(std::u16string name, std::u16string key, int supportResult,
                                        int escapeResult, std::vector<std::uint8_t> reply) {
  SimulatedDevice device;
  device.name = std::move(name);
  device.key = std::move(key);
  device.board = false;
  device.supportResult = supportResult;
  device.escapeResult = escapeResult;
  device.reply = std::move(reply);
  return device;
}

bool SimulatedDevices::Enumerate(std::uint32_t index, DisplayDevice* device) {
  std::lock_guard lock(m_mutex);
  if (device == nullptr || index >= m_devices.size()) return false;
  device->name = m_devices[index].name;
  device->key = m_devices[index].key;
  return true;
}

DeviceContext SimulatedDevices::CreateContext(const std::u16string& deviceName) {
  std::lock_guard lock(m_mutex);
  const auto device = std::find_if(m_devices.begin(), m_devices.end(),
                                   [&](const SimulatedDevice& d) { return d.name == deviceName; });
  if (device == m_devices.end() || device->contextFails) return 0;
  const DeviceContext handle = m_nextContext++;
  m_contexts.push_back(Context{handle, static_cast<std::size_t>(device - m_devices.begin())});
  ++m_created;
  return handle;
}

int SimulatedDevices::Escape(DeviceContext context, int escape, int inputSize, const void* input,
                             int outputSize, void* output) {
  std::lock_guard lock(m_mutex);
  const auto found = std::find_if(m_contexts.begin(), m_contexts.end(),
                                  [&](const Context& c) { return c.handle == context; });
  if (found == m_contexts.end()) return 0;
  const SimulatedDevice& device = m_devices[found->device];
  EscapeCall call{device.name, escape, {}, outputSize};
  if (input != nullptr && inputSize > 0) {
    const auto* bytes = static_cast<const std::uint8_t*>(input);
    call.input.assign(bytes, bytes + inputSize);
  }
  m_escapes.push_back(std::move(call));

  if (escape == kQueryEscSupport) {
    if (!AsksForIdentification(inputSize, input)) return 0;
    return device.board ? 1 : device.supportResult;
  }
  if (escape != kIdentificationEscape) return 0;
  if (device.board) {
    if (!AsksForIdentification(inputSize, input) || output == nullptr ||
        outputSize < static_cast<int>(kReplySize))
      return 0;
    const std::vector<std::uint8_t> reply = BoardReply();
    std::copy(reply.begin(), reply.end(), static_cast<std::uint8_t*>(output));
    return 1;
  }
  if (output != nullptr && outputSize > 0) {
    const std::size_t length = std::min(device.reply.size(), static_cast<std::size_t>(outputSize));
    std::copy_n(device.reply.begin(), length, static_cast<std::uint8_t*>(output));
  }
  return device.escapeResult;
}

bool SimulatedDevices::DeleteContext(DeviceContext context) {
  std::lock_guard lock(m_mutex);
  const auto found = std::find_if(m_contexts.begin(), m_contexts.end(),
                                  [&](const Context& c) { return c.handle == context; });
  if (found == m_contexts.end()) return false;
  m_contexts.erase(found);
  return true;
}

void SimulatedDevices::Add(SimulatedDevice device) {
  std::lock_guard lock(m_mutex);
  m_devices.push_back(std::move(device));
}

int SimulatedDevices::LiveContexts() const {
  std::lock_guard lock(m_mutex);
  return static_cast<int>(m_contexts.size());
}

int SimulatedDevices::CreatedContexts() const {
  std::lock_guard lock(m_mutex);
  return m_created;
}

std::vector<EscapeCall> SimulatedDevices::Escapes() const {
  std::lock_guard lock(m_mutex);
  return m_escapes;
}

std::vector<int> SimulatedDevices::EscapesTo(const std::u16string& deviceName) const {
  std::lock_guard lock(m_mutex);
  std::vector<int> escapes;
  for (const EscapeCall& call : m_escapes)
    if (call.device == deviceName) escapes.push_back(call.escape);
  return escapes;
}

}  // namespace platform
