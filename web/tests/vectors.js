// The known-answer vectors of tests/data/*.vec, read as the library's own
// vector runner reads them (tests/vectors.cpp), and the one check of a
// case through the module's invoke(), which both the Node test and the
// browser test run: the browser test hands checkCase to the page as it is,
// so it uses nothing from outside itself.
"use strict";
const fs = require("fs");
const path = require("path");

// A value as the vector files write it: "quoted text" with \xHH, \n, \r,
// \t and \\ escapes, or bare hexadecimal codes (blanks ignored), or a plain
// word or number, which stands for its own characters. Gives the codes.
function decodeValue(text) {
  const codesOf = (s) => Array.from(s, (c) => c.charCodeAt(0));
  if (text === "") return [];
  if (text[0] === '"') {
    if (text.length < 2 || text[text.length - 1] !== '"') throw new Error(`unterminated text: ${text}`);
    const out = [];
    for (let i = 1; i + 1 < text.length; i++) {
      if (text[i] !== "\\") {
        out.push(text.charCodeAt(i));
        continue;
      }
      const e = text[++i];
      if (e === "n") out.push(10);
      else if (e === "t") out.push(9);
      else if (e === "r") out.push(13);
      else if (e === "x") {
        out.push(parseInt(text.substr(i + 1, 2), 16));
        i += 2;
      } else out.push(e.charCodeAt(0));
    }
    return out;
  }
  const digits = text.replace(/\s+/g, "");
  if (!/^[0-9A-Fa-f]*$/.test(digits) || digits.length % 2 !== 0) return codesOf(text);
  const out = [];
  for (let i = 0; i < digits.length; i += 2) out.push(parseInt(digits.substr(i, 2), 16));
  return out;
}

// Every case of one file: {file, line, section, raw, codes}, raw holding
// each value as written and codes its decoded codes.
function loadVectorFile(file) {
  const cases = [];
  let section = "";
  let current = null;
  const flush = () => {
    if (current) cases.push(current);
    current = null;
  };
  fs.readFileSync(file, "latin1").split("\n").forEach((rawLine, index) => {
    const line = rawLine.trim();
    if (line === "") return flush();
    if (line[0] === "#") return undefined;
    if (line[0] === "[" && line[line.length - 1] === "]") {
      flush();
      section = line.slice(1, -1);
      return undefined;
    }
    const eq = line.indexOf("=");
    if (eq < 0) throw new Error(`${file}:${index + 1}: expected Key = value`);
    if (!current) current = { file: path.basename(file), line: index + 1, section, raw: {}, codes: {} };
    const key = line.slice(0, eq).trim();
    const value = line.slice(eq + 1).trim();
    current.raw[key] = value;
    current.codes[key] = decodeValue(value);
    return undefined;
  });
  flush();
  return cases;
}

function loadVectors(folder) {
  return fs
    .readdirSync(folder)
    .filter((name) => name.endsWith(".vec"))
    .sort()
    .flatMap((name) => loadVectorFile(path.join(folder, name)));
}

// Runs one case of the row `operation` on a new control of `quillfern`
// (the module) and gives what differs from the case's answers, as a list
// of texts (empty when the case passes). The keys it reads: one per
// parameter (a file's content before the call), `Error`, `Result`
// (`Empty` for the empty variant), the out parameters, `NAME after` (an
// in-out parameter, or a file's content after the call), `CodePage`,
// `State` and `End` (the generator before and after), `Box` (a message
// box shown) and `Zeros` (the positions that showed "ERROR Zero!").
function checkCase(quillfern, operation, testCase) {
  const problems = [];
  const text = (codes) => String.fromCharCode.apply(null, Array.from(codes));
  const same = (a, b) => a !== null && a !== undefined && a.length === b.length && Array.from(a).every((x, i) => x === b[i]);
  const hex = (codes) => (codes === null || codes === undefined ? String(codes) : Array.from(codes, (c) => c.toString(16).padStart(2, "0")).join(""));
  const has = (key) => Object.prototype.hasOwnProperty.call(testCase.raw, key);
  const page = has("CodePage") ? testCase.raw.CodePage : "cp1252";
  const control = new quillfern.Control(page);
  if (has("State")) control.setGeneratorState(Number(text(testCase.codes.State)));
  const args = operation.parameters.map((p) => {
    if (p.direction === "out") return null;
    if (p.file) return has(p.name) ? new Uint8Array(testCase.codes[p.name]) : null;
    if (p.type === "Byte") return testCase.raw[p.name];
    return new Uint8Array(testCase.codes[p.name] || []);
  });
  const answer = control.invoke(operation.name, args);
  if (has("Error")) {
    const wanted = Number(testCase.raw.Error);
    if (!answer.error || answer.error.number !== wanted) {
      problems.push(`wanted error ${wanted}, got ${answer.error ? answer.error.number : "none"}`);
    }
  } else if (answer.error) {
    problems.push(`unexpected error ${answer.error.number}: ${answer.error.description} ${answer.error.detail}`);
  } else {
    if (has("Result")) {
      if (testCase.raw.Result === "Empty") {
        if (answer.result !== null) problems.push(`Result: wanted Empty, got ${hex(answer.result)}`);
      } else if (!same(answer.result, testCase.codes.Result)) {
        problems.push(`Result: wanted ${hex(testCase.codes.Result)}, got ${hex(answer.result)}`);
      }
    }
    for (const p of operation.parameters) {
      if (p.direction === "out" && has(p.name) && !same(answer.outputs[p.name], testCase.codes[p.name])) {
        problems.push(`${p.name}: wanted ${hex(testCase.codes[p.name])}, got ${hex(answer.outputs[p.name])}`);
      }
      const after = `${p.name} after`;
      if (!has(after)) continue;
      const got = p.file ? answer.files[p.name] : answer.outputs[p.name];
      if (!same(got, testCase.codes[after])) problems.push(`${after}: wanted ${hex(testCase.codes[after])}, got ${hex(got)}`);
    }
    if (has("End") && control.generatorState() !== Number(text(testCase.codes.End))) {
      problems.push(`End: wanted ${text(testCase.codes.End)}, got ${control.generatorState()}`);
    }
  }
  const shown = answer.messages.map((m) => text(m.text));
  const times = (box) => answer.messages.filter((m) => text(m.text) === box).reduce((sum, m) => sum + m.count, 0);
  if (has("Box") && !shown.includes(text(testCase.codes.Box))) {
    problems.push(`Box: wanted "${text(testCase.codes.Box)}", shown ${JSON.stringify(shown)}`);
  }
  if (has("Zeros")) {
    const wanted = text(testCase.codes.Zeros).split(" ").filter((z) => z !== "").length;
    const zeros = times("ERROR Zero!");
    if (zeros !== wanted) problems.push(`Zeros: wanted ${wanted} boxes "ERROR Zero!", shown ${zeros}`);
  }
  control.delete();
  return problems;
}

// The cases of the sections that name an operation of `rows`, each with
// its row.
function operationCases(folder, rows) {
  return loadVectors(folder)
    .map((testCase) => ({ testCase, operation: rows.find((r) => r.kind === "method" && r.name === testCase.section) }))
    .filter((c) => c.operation !== undefined);
}

module.exports = { decodeValue, loadVectors, checkCase, operationCases };
