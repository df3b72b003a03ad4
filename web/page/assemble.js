// Writes the one HTML file of the page: the template with the style, the
// module's script, its WebAssembly as base64 and the page's script
// inlined, so that the file works alone, offline, over file://.
//   node assemble.js PAGE_FOLDER MODULE_JS MODULE_WASM OUTPUT_HTML
"use strict";
const fs = require("fs");
const path = require("path");

const [folder, modulePath, wasmPath, output] = process.argv.slice(2);
if (!output) {
  console.error("usage: node assemble.js PAGE_FOLDER MODULE_JS MODULE_WASM OUTPUT_HTML");
  process.exit(2);
}
const read = (file) => fs.readFileSync(file, "utf8");
// Inside a script or style element the text must not close the element.
const inlined = (text, tag) => text.split(`</${tag}`).join(`<\\/${tag}`);

const pieces = {
  "/*@STYLE@*/": inlined(read(path.join(folder, "page.css")), "style"),
  "/*@MODULE@*/": inlined(read(modulePath), "script"),
  "@WASM@": fs.readFileSync(wasmPath).toString("base64"),
  "/*@PAGE@*/": inlined(read(path.join(folder, "page.js")), "script"),
};
let html = read(path.join(folder, "quillfern.html"));
for (const [mark, text] of Object.entries(pieces)) {
  if (html.split(mark).length !== 2) throw new Error(`assemble.js: the template needs ${mark} once`);
  html = html.split(mark).join(text);
}
if (/\b(src|href)\s*=\s*["']?(https?:|\/\/)/i.test(html)) {
  throw new Error("assemble.js: the page refers to something outside itself");
}
fs.writeFileSync(output + ".tmp", html);
fs.renameSync(output + ".tmp", output);
