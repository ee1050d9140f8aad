// Two charts over one x axis: price, trend and model above, the cycle below. Drag to zoom
// into a span, the wheel zooms around the pointer, shift-drag pans, a double click shows all;
// both charts follow each other's x range.
import uPlot from "./vendor/uPlot.esm.js";

function toPoints(values) {
  const points = new Array(values.length);
  for (let i = 0; i < values.length; ++i) {
    points[i] = Number.isNaN(values[i]) ? null : values[i];
  }
  return points;
}

// Wheel zoom and shift-drag pan of the x scale.
function wheelAndPan(onRange) {
  return {
    hooks: {
      ready(u) {
        const over = u.over;
        over.addEventListener("wheel", (event) => {
          event.preventDefault();
          const { min, max } = u.scales.x;
          const at = u.posToVal(event.offsetX, "x");
          const factor = event.deltaY < 0 ? 0.8 : 1.25;
          onRange(at - (at - min) * factor, at + (max - at) * factor);
        }, { passive: false });
        over.addEventListener("mousedown", (event) => {
          if (!event.shiftKey) return;
          event.preventDefault();
          event.stopPropagation();
          const { min, max } = u.scales.x;
          const perPixel = (max - min) / u.over.clientWidth;
          const from = event.clientX;
          const move = (e) => onRange(min - (e.clientX - from) * perPixel, max - (e.clientX - from) * perPixel);
          const up = () => {
            window.removeEventListener("mousemove", move);
            window.removeEventListener("mouseup", up);
          };
          window.addEventListener("mousemove", move);
          window.addEventListener("mouseup", up);
        }, { capture: true });
      },
    },
  };
}

export class Charts {
  constructor(top, bottom) {
    this.top = top;
    this.bottom = bottom;
    this.plots = null;
    this.syncing = false;
    window.addEventListener("resize", () => this.resize());
  }

  options(series, height, xName) {
    const plugins = [wheelAndPan((min, max) => this.setRange(min, max))];
    return {
      width: this.top.clientWidth || 800,
      height,
      series: [{ label: xName }, ...series],
      scales: { x: { time: false } },
      // Years and bar numbers as they are, without thousands separators.
      axes: [{ values: (u, splits) => splits.map((v) => String(+v.toFixed(6))) }, {}],
      cursor: { sync: { key: "tessaryn" }, drag: { x: true, y: false } },
      legend: { live: true },
      plugins,
      hooks: {
        setScale: [
          (u, key) => {
            if (key !== "x" || this.syncing || this.plots === null) return;
            this.setRange(u.scales.x.min, u.scales.x.max);
          },
        ],
      },
    };
  }

  setRange(min, max) {
    if (this.syncing || this.plots === null) return;
    this.syncing = true;
    for (const plot of this.plots) plot.setScale("x", { min, max });
    this.syncing = false;
  }

  // Everything drawn anew for a new series (its own x axis and column name).
  show({ x, xName, name, prices, trend, cycle, model }) {
    const xs = Array.from(x);
    this.destroy();
    this.top.replaceChildren();
    this.bottom.replaceChildren();
    this.plots = [
      new uPlot(
        this.options(
          [
            { label: name, stroke: "#555", width: 1 },
            { label: "trend", stroke: "#1565c0", width: 1.5 },
            { label: "model", stroke: "#e65100", width: 1 },
          ],
          340,
          xName,
        ),
        [xs, toPoints(prices), toPoints(trend), toPoints(model)],
        this.top,
      ),
      new uPlot(
        this.options([{ label: "cycle", stroke: "#2e7d32", width: 1.5, fill: "rgba(46,125,50,0.08)" }], 170, xName),
        [xs, toPoints(cycle)],
        this.bottom,
      ),
    ];
  }

  // The same series with new values (a new period, or a tick): the zoom stays.
  update({ x, prices, trend, cycle, model }) {
    if (this.plots === null) return;
    const xs = Array.from(x);
    const { min, max } = this.plots[0].scales.x;
    this.plots[0].setData([xs, toPoints(prices), toPoints(trend), toPoints(model)], false);
    this.plots[1].setData([xs, toPoints(cycle)], false);
    this.setRange(min, max);
  }

  resize() {
    if (this.plots === null) return;
    const width = this.top.clientWidth;
    for (const plot of this.plots) plot.setSize({ width, height: plot.height });
  }

  destroy() {
    if (this.plots !== null) for (const plot of this.plots) plot.destroy();
    this.plots = null;
  }
}
