#include <zlib.h>

#include <cstring>

#include "codecs.h"

namespace cab {

struct MszipDecoder::Z {
  z_stream s{};
  bool ok = false;
};

MszipDecoder::MszipDecoder() : z_(std::make_unique<Z>()) { z_->ok = inflateInit2(&z_->s, -15) == Z_OK; }
MszipDecoder::~MszipDecoder() {
  if (z_->ok) inflateEnd(&z_->s);
}

bool MszipDecoder::decode(const uint8_t* in, size_t n, uint8_t* out, size_t outLen) {
  if (!z_->ok || n < 2 || in[0] != 'C' || in[1] != 'K') return false;
  z_stream& s = z_->s;
  if (inflateReset(&s) != Z_OK) return false;
  // Each block may refer back into the previous one.
  if (!dict_.empty() && inflateSetDictionary(&s, dict_.data(), static_cast<uInt>(dict_.size())) != Z_OK) return false;
  s.next_in = const_cast<Bytef*>(in + 2);
  s.avail_in = static_cast<uInt>(n - 2);
  s.next_out = out;
  s.avail_out = static_cast<uInt>(outLen);
  int rc = inflate(&s, Z_FINISH);
  if (rc != Z_STREAM_END || s.avail_out != 0) return false;
  dict_.assign(out, out + outLen);
  return true;
}

struct MszipEncoder::Z {
  z_stream s{};
  bool ok = false;
};

MszipEncoder::MszipEncoder(int level) : z_(std::make_unique<Z>()) {
  if (level < 1 || level > 9) level = 6;
  z_->ok = deflateInit2(&z_->s, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
}
MszipEncoder::~MszipEncoder() {
  if (z_->ok) deflateEnd(&z_->s);
}

bool MszipEncoder::encode(const uint8_t* in, size_t n, std::vector<uint8_t>& out) {
  if (!z_->ok) return false;
  z_stream& s = z_->s;
  if (deflateReset(&s) != Z_OK) return false;
  if (!dict_.empty() && deflateSetDictionary(&s, dict_.data(), static_cast<uInt>(dict_.size())) != Z_OK) return false;
  out.assign(2 + deflateBound(&s, static_cast<uLong>(n)) + 16, 0);
  out[0] = 'C';
  out[1] = 'K';
  s.next_in = const_cast<Bytef*>(in);
  s.avail_in = static_cast<uInt>(n);
  s.next_out = out.data() + 2;
  s.avail_out = static_cast<uInt>(out.size() - 2);
  if (deflate(&s, Z_FINISH) != Z_STREAM_END) return false;
  out.resize(out.size() - s.avail_out);
  dict_.assign(in, in + n);
  return true;
}

}  // namespace cab
