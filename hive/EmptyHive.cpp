#include "hive/EmptyHive.h"

#include <chrono>
#include <cstring>

#include "base/ByteOrder.h"
#include "base/Text.h"

namespace hive {
namespace {

using namespace format;

// The one bin of an empty hive.
constexpr std::size_t kFirstBinSize = kBinUnit;

void PutBytes(std::vector<std::uint8_t>& image, std::size_t at, const std::vector<std::uint8_t>& bytes) {
  std::memcpy(image.data() + at, bytes.data(), bytes.size());
}

void Append16(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  bytes.resize(bytes.size() + 2);
  base::WriteLittleEndian16(static_cast<std::uint16_t>(value), &bytes[bytes.size() - 2]);
}

void Append32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
  const auto le = base::LittleEndian32(value);
  bytes.insert(bytes.end(), le.begin(), le.end());
}

// A SID in its binary form: revision 1, the identifier authority, the sub-authorities.
std::vector<std::uint8_t> Sid(std::uint8_t authority, std::initializer_list<std::uint32_t> subAuthorities) {
  std::vector<std::uint8_t> sid{1,        static_cast<std::uint8_t>(subAuthorities.size()), 0, 0, 0, 0, 0,
                                authority};
  for (std::uint32_t sub : subAuthorities) Append32(sid, sub);
  return sid;
}

// A self-relative security descriptor: owner Administrators, group SYSTEM, and a DACL that lets
// everyone read and SYSTEM and Administrators do anything, inherited by subkeys.
std::vector<std::uint8_t> SecurityDescriptor() {
  constexpr std::uint8_t kContainerInherit = 0x02;
  constexpr std::uint32_t kKeyRead = 0x20019;       // query, enumerate, notify, read control
  constexpr std::uint32_t kKeyAllAccess = 0xF003F;  // every standard right and every key right
  const std::vector<std::uint8_t> everyone = Sid(1, {0});
  const std::vector<std::uint8_t> system = Sid(5, {18});
  const std::vector<std::uint8_t> administrators = Sid(5, {32, 544});

  std::vector<std::uint8_t> aces;
  std::uint32_t aceCount = 0;
  for (const auto& [sid, mask] : {std::pair{everyone, kKeyRead}, std::pair{system, kKeyAllAccess},
                                  std::pair{administrators, kKeyAllAccess}}) {
    aces.push_back(0);  // access allowed
    aces.push_back(kContainerInherit);
    Append16(aces, static_cast<std::uint32_t>(8 + sid.size()));
    Append32(aces, mask);
    aces.insert(aces.end(), sid.begin(), sid.end());
    ++aceCount;
  }
  std::vector<std::uint8_t> acl{2, 0};
  Append16(acl, static_cast<std::uint32_t>(8 + aces.size()));
  Append16(acl, aceCount);
  Append16(acl, 0);
  acl.insert(acl.end(), aces.begin(), aces.end());

  constexpr std::uint32_t kHeaderSize = 20;
  const auto daclAt = kHeaderSize;
  const auto ownerAt = static_cast<std::uint32_t>(daclAt + acl.size());
  const auto groupAt = static_cast<std::uint32_t>(ownerAt + administrators.size());
  std::vector<std::uint8_t> descriptor{1, 0};
  Append16(descriptor, 0x8004);  // self-relative, DACL present
  Append32(descriptor, ownerAt);
  Append32(descriptor, groupAt);
  Append32(descriptor, 0);  // no SACL
  Append32(descriptor, daclAt);
  descriptor.insert(descriptor.end(), acl.begin(), acl.end());
  descriptor.insert(descriptor.end(), administrators.begin(), administrators.end());
  descriptor.insert(descriptor.end(), system.begin(), system.end());
  return descriptor;
}

std::uint32_t Aligned8(std::size_t size) { return static_cast<std::uint32_t>((size + 7) & ~std::size_t{7}); }

std::uint32_t Negative(std::uint32_t cellSize) { return ~cellSize + 1; }  // allocated cells

}  // namespace

std::uint32_t HiveHeaderChecksum(const std::uint8_t* base) {
  std::uint32_t sum = 0;
  for (std::size_t at = 0; at < kChecksum; at += 4) sum ^= base::ReadLittleEndian32(base + at);
  if (sum == 0xFFFFFFFF) return 0xFFFFFFFE;
  if (sum == 0) return 1;
  return sum;
}

std::vector<std::uint8_t> EmptyHiveImage(std::uint64_t filetime) {
  std::vector<std::uint8_t> image(kHiveBaseBlockSize + kFirstBinSize, 0);
  const std::size_t bin = kHiveBaseBlockSize;

  // Cells, as offsets from the start of the first bin.
  const char rootName[] = "ROOT";
  const std::uint32_t rootAt = kBinHeaderSize;
  const std::uint32_t rootSize = Aligned8(kKeyName + sizeof rootName - 1);
  const std::vector<std::uint8_t> descriptor = SecurityDescriptor();
  const std::uint32_t securityAt = rootAt + rootSize;
  const std::uint32_t securitySize = Aligned8(kSecurityDescriptor + descriptor.size());
  const std::uint32_t freeAt = securityAt + securitySize;
  const auto freeSize = static_cast<std::uint32_t>(kFirstBinSize - freeAt);

  // Base block.
  PutSignature(&image[0], kBaseBlockSignature);
  base::WriteLittleEndian32(1, &image[kSequence1]);  // primary sequence number
  base::WriteLittleEndian32(
      1, &image[kSequence2]);  // secondary sequence number: equal, so the hive is consistent
  base::WriteLittleEndian64(filetime, &image[kTimestamp]);
  base::WriteLittleEndian32(1, &image[kMajor]);  // major version
  // Minor version 3: every Windows from 2000 on loads it; its subkey lists are "lf" lists.
  base::WriteLittleEndian32(3, &image[kMinor]);
  base::WriteLittleEndian32(kPrimaryFile, &image[kFileType]);
  base::WriteLittleEndian32(1, &image[kFormat]);  // direct memory load
  base::WriteLittleEndian32(rootAt, &image[kRootCell]);
  base::WriteLittleEndian32(static_cast<std::uint32_t>(kFirstBinSize), &image[kBinsSize]);
  base::WriteLittleEndian32(1, &image[kClustering]);  // clustering factor
  PutBytes(image, kFileName, base::Utf16Bytes(u"SYSTEM", false));
  base::WriteLittleEndian32(HiveHeaderChecksum(image.data()), &image[kChecksum]);

  // The bin.
  PutSignature(&image[bin], kBinSignature);
  base::WriteLittleEndian32(0, &image[bin + kBinOffset]);
  base::WriteLittleEndian32(static_cast<std::uint32_t>(kFirstBinSize), &image[bin + kBinSize]);
  base::WriteLittleEndian64(filetime, &image[bin + kBinTimestamp]);

  // The root key.
  const std::size_t nk = bin + rootAt;
  base::WriteLittleEndian32(Negative(rootSize), &image[nk]);
  PutSignature(&image[nk + kCellSignature], kKeySignature);
  base::WriteLittleEndian16(kKeyHiveEntry | kKeyNoDelete | kKeyCompressedName, &image[nk + kKeyFlags]);
  base::WriteLittleEndian64(filetime, &image[nk + kKeyTime]);
  base::WriteLittleEndian32(kNoCell, &image[nk + kKeyParent]);  // none
  base::WriteLittleEndian32(0, &image[nk + kSubkeyCount]);
  base::WriteLittleEndian32(0, &image[nk + kVolatileSubkeyCount]);
  base::WriteLittleEndian32(kNoCell, &image[nk + kSubkeyList]);
  base::WriteLittleEndian32(kNoCell, &image[nk + kVolatileSubkeyList]);
  base::WriteLittleEndian32(0, &image[nk + kValueCount]);
  base::WriteLittleEndian32(kNoCell, &image[nk + kValueList]);
  base::WriteLittleEndian32(securityAt, &image[nk + kKeySecurity]);
  base::WriteLittleEndian32(kNoCell, &image[nk + kKeyClass]);  // no class name
  base::WriteLittleEndian16(sizeof rootName - 1, &image[nk + kKeyNameLength]);
  std::memcpy(&image[nk + kKeyName], rootName, sizeof rootName - 1);

  // Its security cell, the only one, so it links to itself both ways.
  const std::size_t sk = bin + securityAt;
  base::WriteLittleEndian32(Negative(securitySize), &image[sk]);
  PutSignature(&image[sk + kCellSignature], kSecuritySignature);
  base::WriteLittleEndian32(securityAt, &image[sk + kSecurityPrevious]);
  base::WriteLittleEndian32(securityAt, &image[sk + kSecurityNext]);
  base::WriteLittleEndian32(1, &image[sk + kSecurityReferences]);  // referenced by the root key
  base::WriteLittleEndian32(static_cast<std::uint32_t>(descriptor.size()), &image[sk + kSecuritySize]);
  PutBytes(image, sk + kSecurityDescriptor, descriptor);

  // The rest of the bin is one free cell (a positive size).
  base::WriteLittleEndian32(freeSize, &image[bin + freeAt]);
  return image;
}

std::uint64_t FiletimeNow() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  constexpr std::uint64_t kUnixEpochAsFiletime = 116444736000000000ULL;
  return kUnixEpochAsFiletime +
         static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100);
}

}  // namespace hive
