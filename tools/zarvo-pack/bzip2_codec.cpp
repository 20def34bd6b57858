#include "zarvo-pack/bzip2_codec.h"

#include <bzlib.h>

#include <algorithm>
#include <climits>

namespace zpack {

namespace {

// libbz2 counts in unsigned int; larger buffers go through in pieces.
const size_t Piece = size_t(1) << 30;

std::string StatusText(int status) {
  switch (status) {
  case BZ_DATA_ERROR:
    return "damaged data or a checksum mismatch (BZ_DATA_ERROR)";
  case BZ_DATA_ERROR_MAGIC:
    return "it does not begin with a bzip2 header (BZ_DATA_ERROR_MAGIC)";
  case BZ_MEM_ERROR:
    return "out of memory (BZ_MEM_ERROR)";
  case BZ_PARAM_ERROR:
    return "bad parameters (BZ_PARAM_ERROR)";
  default:
    return "libbz2 status " + std::to_string(status);
  }
}

} // namespace

std::string CompressStream(const uint8_t* data, size_t size, int blockSize, Bytes& stream) {
  bz_stream bz{};
  int status = BZ2_bzCompressInit(&bz, blockSize, 0, 0);
  if (status != BZ_OK) return "the compressor did not start: " + StatusText(status);
  stream.assign(size / 2 + 1024, 0);
  size_t in = 0, out = 0;
  for (;;) {
    const size_t inPiece = std::min(size - in, Piece);
    bz.next_in = const_cast<char*>(reinterpret_cast<const char*>(data + in));
    bz.avail_in = unsigned(inPiece);
    if (stream.size() - out < 65536) stream.resize(stream.size() + stream.size() / 2 + 65536);
    const size_t outPiece = std::min(stream.size() - out, Piece);
    bz.next_out = reinterpret_cast<char*>(stream.data() + out);
    bz.avail_out = unsigned(outPiece);
    const bool last = in + inPiece == size;
    status = BZ2_bzCompress(&bz, last ? BZ_FINISH : BZ_RUN);
    in += inPiece - bz.avail_in;
    out += outPiece - bz.avail_out;
    if (status == BZ_STREAM_END) break;
    if (status != BZ_RUN_OK && status != BZ_FINISH_OK) {
      BZ2_bzCompressEnd(&bz);
      return "compression failed: " + StatusText(status);
    }
  }
  BZ2_bzCompressEnd(&bz);
  stream.resize(out);
  return {};
}

DecodedStream DecodeStream(const uint8_t* stream, size_t size, size_t limit) {
  DecodedStream result;
  bz_stream bz{};
  int status = BZ2_bzDecompressInit(&bz, 0, 0);
  if (status != BZ_OK) {
    result.Status = status;
    result.Problem = "the decoder did not start: " + StatusText(status);
    return result;
  }
  // One byte beyond the limit tells a stream that holds more from one that holds exactly it.
  const size_t capacity = limit < SIZE_MAX ? limit + 1 : limit;
  result.Data.resize(std::min(capacity, size * 4 + 4096));
  size_t in = 0, out = 0;
  for (;;) {
    if (result.Data.size() == out && out < capacity)
      result.Data.resize(std::min(capacity, out + out / 2 + 65536));
    const size_t inPiece = std::min(size - in, Piece);
    const size_t outPiece = std::min(result.Data.size() - out, Piece);
    bz.next_in = const_cast<char*>(reinterpret_cast<const char*>(stream + in));
    bz.avail_in = unsigned(inPiece);
    bz.next_out = reinterpret_cast<char*>(result.Data.data() + out);
    bz.avail_out = unsigned(outPiece);
    status = BZ2_bzDecompress(&bz);
    in += inPiece - bz.avail_in;
    out += outPiece - bz.avail_out;
    if (status == BZ_STREAM_END) {
      result.Complete = out <= limit;
      break;
    }
    if (status != BZ_OK) {
      result.Problem = "the stream is damaged: " + StatusText(status);
      break;
    }
    if (out > limit) break;
    if (in == size && outPiece - bz.avail_out == 0 && bz.avail_out > 0) {
      result.Problem = "the stream ends before its end-of-stream marker (cut short)";
      break;
    }
  }
  BZ2_bzDecompressEnd(&bz);
  result.Status = status;
  result.Consumed = in;
  if (out > limit) {
    result.OverLimit = true;
    out = limit;
    if (result.Problem.empty()) result.Problem = "the stream decodes to more bytes than expected";
  }
  result.Data.resize(out);
  return result;
}

} // namespace zpack
