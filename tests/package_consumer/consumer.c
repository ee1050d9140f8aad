#include <stdio.h>
#include <tessaryn.h>

int main(void) {
  const float prices[8] = {0, 0, 0, 3, 3, 3, 3, 3};
  const float periods[8] = {3, 3, 3, 3, 3, 3, 3, 3};
  float trend[8], cycle[8], model[8];
  ITrend(prices, periods, 8, trend);
  CyclicalComponent(prices, periods, 8, cycle);
  Tessaryn(prices, periods, 8, model);
  if (trend[2] != 3.4E+38f || trend[4] != 2.75f || cycle[3] == 0.0f || model[5] <= 4.0f) {
    fprintf(stderr, "unexpected results: %g %g %g %g\n", trend[2], trend[4], cycle[3], model[5]);
    return 1;
  }
  puts("ok");
  return 0;
}
