#pragma once
// SimulatedDevices: display devices with configurable drivers, for tests and the simulated board.
//
// Each device has a name, a device key and a driver answer to the identification escape: by
// default the board's own (QUERYESCSUPPORT for 81404 answers 1; escape 81404 with a 4-byte input
// of 81404 and room for 28 bytes answers 1 and writes "ORLO was here", a zero byte and 14 bytes
// of its own), or a custom answer set per device. It counts live device contexts and records
// every escape sent, in order.
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/DisplayDevices.h"

namespace platform {

inline constexpr int kIdentificationEscape = 81404;

struct SimulatedDevice {
  std::u16string name;
  std::u16string key;
  bool contextFails = false;  // CreateContext answers 0
  bool board = true;          // answers as the board's driver; otherwise as set below
  // Custom driver (board == false): the results of the support query (for 81404) and of the
  // escape, and the bytes written into the reply (at most the reply buffer's size).
  int supportResult = 0;
  int escapeResult = 0;
  std::vector<std::uint8_t> reply;

  // The board's driver.
  static SimulatedDevice Board(std::u16string name, std::u16string key);
  // A driver that does not know the escape.
  static SimulatedDevice Other(std::u16string name, std::u16string key);
  // A driver with the given answers.
  static SimulatedDevice Custom(std::u16string name, std::u16string key, int supportResult, int escapeResult,
                                std::vector<std::uint8_t> reply);
};

// The board's 28-byte reply: the signature, its zero byte, then bytes of the board's own.
std::vector<std::uint8_t> BoardReply();

struct EscapeCall {
  std::u16string device;  // the device the context was made for
  int escape = 0;
  std::vector<std::uint8_t> input;
  int outputSize = 0;
};

class SimulatedDevices final : public DisplayDevices {
 public:
  SimulatedDevices() = default;
  explicit SimulatedDevices(std::vector<SimulatedDevice> devices) : m_devices(std::move(devices)) {}

  bool Enumerate(std::uint32_t index, DisplayDevice* device) override;
  DeviceContext CreateContext(const std::u16string& deviceName) override;
  int Escape(DeviceContext context, int escape, int inputSize, const void* input, int outputSize,
             void* output) override;
  bool DeleteContext(DeviceContext context) override;

  void Add(SimulatedDevice device);
  int LiveContexts() const;
  int CreatedContexts() const;  // every context made so far
  std::vector<EscapeCall> Escapes() const;
  // The escapes sent to one device, in order.
  std::vector<int> EscapesTo(const std::u16string& deviceName) const;

 private:
  struct Context {
    DeviceContext handle;
    std::size_t device;
  };
  mutable std::mutex m_mutex;
  std::vector<SimulatedDevice> m_devices;
  std::vector<Context> m_contexts;
  DeviceContext m_nextContext = 0x100;
  int m_created = 0;
  std::vector<EscapeCall> m_escapes;
};

}  // namespace platform
