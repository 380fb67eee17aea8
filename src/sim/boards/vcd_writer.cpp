// SPDX-License-Identifier: GPL-3.0-or-later
// VCD writer and pin trace.
#include "sim/boards/vcd_writer.hpp"

#include <algorithm>

namespace kestrum {

namespace {

std::vector<VcdSignal> OneBitSignals(std::vector<std::string> names) {
  std::vector<VcdSignal> channels;
  for (std::string& name : names) channels.push_back({std::move(name), 1});
  return channels;
}

std::vector<std::uint32_t> Values(const std::vector<bool>& levels) {
  return {levels.begin(), levels.end()};
}

}  // namespace

VcdWriter::VcdWriter(std::ostream& out, std::string_view scope, std::vector<std::string> names,
                     const std::vector<bool>& initial, std::int64_t originUs)
    : VcdWriter(out, scope, OneBitSignals(std::move(names)), Values(initial), originUs) {}

VcdWriter::VcdWriter(std::ostream& out, std::string_view scope, std::span<const VcdSignal> channels,
                     std::span<const std::uint32_t> initial, std::int64_t originUs)
    : out_(out),
      written_(initial.begin(), initial.end()),
      pending_(channels.size()),
      origin_(originUs) {
  written_.resize(channels.size(), 0);
  for (const VcdSignal& s : channels) widths_.push_back(std::max(s.width, 1));
  // No $date: a trace of the same run is the same file.
  out_ << "$version Kestrum pin trace $end\n"
       << "$timescale 1 us $end\n"
       << "$scope module " << scope << " $end\n";
  for (std::size_t i = 0; i < channels.size(); ++i) {
    out_ << "$var wire " << widths_[i] << ' ' << Id(i) << ' ' << channels[i].name << " $end\n";
  }
  out_ << "$upscope $end\n"
       << "$enddefinitions $end\n"
       << "#0\n"
       << "$dumpvars\n";
  for (std::size_t i = 0; i < channels.size(); ++i) WriteValue(i, written_[i]);
  out_ << "$end\n";
}

void VcdWriter::WriteValue(std::size_t signal, std::uint32_t value) {
  const int width = widths_[signal];
  if (width == 1) {
    out_ << ((value & 1) ? '1' : '0') << Id(signal) << '\n';
    return;
  }
  out_ << 'b';
  for (int bit = width - 1; bit >= 0; --bit) out_ << (((value >> bit) & 1) ? '1' : '0');
  out_ << ' ' << Id(signal) << '\n';
}

VcdWriter::~VcdWriter() {
  Finish();
}

std::string VcdWriter::Id(std::size_t signal) const {
  // Printable identifier codes from '!' on, with more characters past '~'.
  std::string id;
  do {
    id.push_back(static_cast<char>('!' + signal % 94));
    signal /= 94;
  } while (signal > 0);
  return id;
}

void VcdWriter::ChangeValue(std::size_t signal, std::uint32_t value, std::int64_t timeUs) {
  if (finished_ || signal >= pending_.size()) return;
  if (widths_[signal] < 32) value &= (1u << widths_[signal]) - 1;
  std::int64_t t = std::max<std::int64_t>(timeUs - origin_, 0);
  if (t > pendingTime_) {
    Flush();
    pendingTime_ = t;
  }
  pending_[signal] = value;
}

void VcdWriter::Flush() {
  bool stamped = false;
  for (std::size_t i = 0; i < pending_.size(); ++i) {
    if (!pending_[i]) continue;
    const std::uint32_t value = *pending_[i];
    pending_[i].reset();
    if (value == written_[i]) continue;
    if (!stamped) {
      if (pendingTime_ > 0) out_ << '#' << pendingTime_ << '\n';
      stamped = true;
      lastWrittenTime_ = pendingTime_;
    }
    written_[i] = value;
    WriteValue(i, value);
  }
}

void VcdWriter::Finish(std::optional<std::int64_t> endUs) {
  if (finished_) return;
  Flush();
  std::int64_t end = lastWrittenTime_ + 1;
  if (endUs) end = std::max(end, *endUs - origin_);
  out_ << '#' << end << '\n';
  out_.flush();
  finished_ = true;
}

const std::vector<std::string>& TracePinNames() {
  static const std::vector<std::string> names{"vcc",   "mclr",    "data_out",
                                              "clock", "data_in", "card_clock"};
  return names;
}

namespace {

std::vector<bool> Levels(const TracePins& p) {
  return {p.vcc, p.mclr, p.dataOut, p.clock, p.dataIn, p.cardClock};
}

}  // namespace

const std::vector<VcdSignal>& ParallelTraceSignals() {
  static const std::vector<VcdSignal> channels{
      {"vcc"},      {"vpp"},   {"data", 8}, {"data_input"}, {"strobe"}, {"autofd"}, {"init"},
      {"selectin"}, {"error"}, {"select"},  {"paperout"},   {"ack"},    {"busy"}};
  return channels;
}

namespace {

std::vector<std::uint32_t> Values(const ParallelTracePins& p) {
  std::vector<std::uint32_t> v{p.vcc, p.vpp, p.data, p.dataInput};
  for (int bit = 0; bit < 4; ++bit) v.push_back((p.control >> bit) & 1);
  for (int bit = 3; bit < 8; ++bit) v.push_back((p.status >> bit) & 1);
  return v;
}

}  // namespace

void PinTrace::Start() {
  if (parallel_) {
    writer_.emplace(out_, "programmer", ParallelTraceSignals(), Values(lastParallel_), originUs_);
  } else {
    writer_.emplace(out_, "programmer", TracePinNames(), Levels(last_), originUs_);
  }
}

void PinTrace::Record(const ParallelTracePins& pins, std::int64_t timeUs) {
  if (!started_ || (!writer_ && !parallel_)) {
    if (!started_) originUs_ = timeUs;
    started_ = true;
    parallel_ = true;
    lastParallel_ = pins;
    return;
  }
  // A trace keeps the pin set it started with.
  if (!parallel_ || pins == lastParallel_) return;
  if (!writer_) Start();
  const std::vector<std::uint32_t> values = Values(pins);
  for (std::size_t i = 0; i < values.size(); ++i) writer_->ChangeValue(i, values[i], timeUs);
  lastParallel_ = pins;
}

void PinTrace::Record(const TracePins& pins, std::int64_t timeUs) {
  if (!started_ || (!writer_ && parallel_)) {
    if (!started_) originUs_ = timeUs;
    started_ = true;
    parallel_ = false;
    last_ = pins;
    return;
  }
  if (parallel_ || pins == last_) return;
  if (!writer_) Start();
  std::vector<bool> levels = Levels(pins);
  for (std::size_t i = 0; i < levels.size(); ++i) writer_->Change(i, levels[i], timeUs);
  last_ = pins;
}

void PinTrace::Finish(std::optional<std::int64_t> endUs) {
  if (started_ && !writer_) Start();
  if (writer_) writer_->Finish(endUs);
}

}  // namespace kestrum
