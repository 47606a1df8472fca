// The demo scene: what index.html draws, and the address the viewer opens when the splash
// picture's upper part is clicked. The viewer reads only the first 1023 bytes of this file for
// that address, so it stays near the top.
var objects_data = {
  title: "Lumra demo scene",
  link: "http://lumra.example.org/demo/",
  background: [16, 24, 44],
  camera: { distance: 8, height: 3.2, fov: 45 },
  objects: [
    { name: "floor", position: [0, -0.05, 0], size: [5, 0.1, 4.4], colour: [62, 78, 104], spin: 0 },
    { name: "centre cube", position: [0, 0.9, 0], size: [1.6, 1.6, 1.6], colour: [236, 128, 40], spin: 0.5 },
    { name: "left cube", position: [-2.1, 0.45, 0.8], size: [0.9, 0.9, 0.9], colour: [40, 190, 180], spin: -0.8 },
    { name: "right cube", position: [2.1, 0.45, -0.6], size: [0.9, 0.9, 0.9], colour: [170, 80, 220], spin: 1.1 }
  ]
};
