// The bounds of one AddPage call as it goes (NBPageLimits): the time left for the page's
// downloads, the images and image bytes fetched so far, and where progress is told.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "parser/facade/NBParser.h"
#include "platform/inet/internet.h"

class PageBudget {
 public:
  PageBudget() = default;
  PageBudget(const NBPageLimits& limits, NBProgressFn progress, void* context);

  // Milliseconds left for downloads; 0 when the time is up.
  long RemainingMs() const;
  bool TimeUp() const { return RemainingMs() <= 0; }
  // The limits for the next download: the session's own, cut to the time left.
  platform::inet::Limits LimitsFor(platform::inet::Limits base) const;

  // Whether one more new image may be fetched: 0, NBP_ERR_TIME_UP or NBP_ERR_IMAGE_COUNT. A
  // 0 counts the image.
  int AdmitImage();
  // Bytes the next image may have: cap, or less when the page's total is nearly spent.
  std::uint64_t ImageAllowance(std::uint64_t cap) const;
  // Whether the allowance was cut by the page's total (so going past it is NBP_ERR_IMAGE_BYTES).
  bool TotalBinds(std::uint64_t cap) const { return ImageAllowance(cap) < cap; }
  void SpendImageBytes(std::uint64_t bytes) { m_imageBytes += bytes; }

  void Tell(NBProgress event, const std::u16string& subject, int code = 0) const;
  // An image left out of the page. Each bound of the page (count, bytes, time) is told once:
  // the images after it are left out for the same reason.
  void Dropped(const std::u16string& address, int reason);

 private:
  NBPageLimits m_limits{0, 0, 0};
  NBProgressFn m_progress = nullptr;
  void* m_context = nullptr;
  std::chrono::steady_clock::time_point m_deadline = std::chrono::steady_clock::time_point::max();
  int m_images = 0;
  std::uint64_t m_imageBytes = 0;
  unsigned m_boundsTold = 0;  // bounds already told, one bit each
};
