// Defines a routine of filters.h as its step run over the bars by the bar loop, compiled
// for the widest vectors the build allows (widest_vectors.h).
#pragma once

#include "filters/bar_loop.h"
#include "filters/filters.h"
#include "filters/widest_vectors.h"

#define TESSARYN_FILTER_ROUTINE(Name, Step)                                                       \
  TESSARYN_WIDEST_VECTORS void Name(PriceSeries prices, PeriodSeries periods, std::int32_t count, \
                                    ResultSeries out) noexcept {                                  \
    Step step(prices);                                                                            \
    BarLoop(step, periods, count, out);                                                           \
  }
