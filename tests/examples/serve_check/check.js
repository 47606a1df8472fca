// What a 3D presentation does with its own package, step by step: fetch its scene data and
// upload one of its pictures to a WebGL texture, read back to be sure. The whole page is then
// painted one colour per outcome, for a screenshot to tell (and the title says it in words):
//   green    every step worked
//   red      the scene data could not be fetched
//   blue     no WebGL context at all (the browser cannot run WebGL here)
//   magenta  the picture could not be uploaded to a texture (a SecurityError for file:// pages)
//   yellow   the texture read back the wrong colour
//   white    this script never ran
"use strict";

const OUTCOMES = {
  ok: "rgb(0, 255, 0)",
  fetch: "rgb(255, 0, 0)",
  webgl: "rgb(0, 0, 255)",
  texture: "rgb(255, 0, 255)",
  pixel: "rgb(255, 255, 0)",
};

function report(outcome, detail) {
  document.body.style.background = OUTCOMES[outcome];
  document.title = outcome + (detail ? ": " + detail : "");
}

function fetchScene() {
  const request = new XMLHttpRequest();
  request.open("GET", "scene.json", false);
  request.send(null);
  const scene = JSON.parse(request.responseText);
  if (scene.marker !== "lumra-serve-check") throw new Error("unexpected scene data");
  return scene;
}

function uploadTexture(gl, picture) {
  const texture = gl.createTexture();
  gl.bindTexture(gl.TEXTURE_2D, texture);
  gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA, gl.RGBA, gl.UNSIGNED_BYTE, picture);
  const error = gl.getError();
  if (error !== gl.NO_ERROR) throw new Error("texImage2D error " + error);
  const framebuffer = gl.createFramebuffer();
  gl.bindFramebuffer(gl.FRAMEBUFFER, framebuffer);
  gl.framebufferTexture2D(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D, texture, 0);
  const pixel = new Uint8Array(4);
  gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
  return pixel;
}

// The scene data is fetched while the page is parsed, and the texture checked when its picture
// has loaded: both before the load event, after which browsers take their screenshots. (A check
// in a load handler can lose the race: Firefox runs other work, its screenshot among it, while a
// synchronous request waits.)
let scene = null;
try {
  scene = fetchScene();
} catch (e) {
  report("fetch", String(e));
}

function checkTexture(picture) {
  if (!scene) return;  // reported already
  const gl = document.createElement("canvas").getContext("webgl");
  if (!gl) {
    report("webgl", "no context");
    return;
  }
  let pixel;
  try {
    pixel = uploadTexture(gl, picture);
  } catch (e) {
    report("texture", String(e));
    return;
  }
  const [r, g, b] = scene.texture_colour;
  if (Math.abs(pixel[0] - r) > 2 || Math.abs(pixel[1] - g) > 2 || Math.abs(pixel[2] - b) > 2) {
    report("pixel", Array.from(pixel).join(","));
    return;
  }
  report("ok");
}
