#pragma once

#include <cstddef>
#include <cstdint>

#include "simulation/particle_field.h"

namespace zintrel {

// FNV-1a over every field, so any bit of any of them changes the hash
// (padding between the scalars is left out: its bytes are unspecified).
class FieldHash {
 public:
  template <typename T>
  void Add(const T& value) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
    for (size_t k = 0; k < sizeof value; ++k) {
      hash_ ^= bytes[k];
      hash_ *= 1099511628211ull;
    }
  }
  std::uint64_t Value() const { return hash_; }

 private:
  std::uint64_t hash_ = 14695981039346656037ull;
};

inline std::uint64_t HashField(const ParticleField& f) {
  FieldHash hash;
  for (const ParticleArray* array : {&f.x, &f.y, &f.vx, &f.vy, &f.Heading}) hash.Add(*array);
  hash.Add(f.ParticleCount), hash.Add(f.MaxSpeed), hash.Add(f.ParticleSize);
  hash.Add(f.Activity), hash.Add(f.Acceleration), hash.Add(f.Repulsion);
  hash.Add(f.RepulsiveAcceleration), hash.Add(f.InitialRadius);
  hash.Add(f.FieldWidth), hash.Add(f.FieldHeight), hash.Add(f.LastWidth), hash.Add(f.LastHeight);
  hash.Add(f.Running);
  return hash.Value();
}

}  // namespace zintrel
