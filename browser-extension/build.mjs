// SPDX-License-Identifier: GPL-3.0-or-later
// Builds the extension for each browser from the one source: OUT/chromium and OUT/firefox (the
// unpacked extensions, each with the manifest its browser accepts) and the packed
// OUT/brindle-chromium.zip and OUT/brindle-firefox.xpi. OUT is the first argument, else
// build-extension/ in the repository.
//
// manifest.json holds what both browsers share; its "chromium" and "firefox" members are merged
// into the matching browser's manifest only.
import { createHash } from "node:crypto";
import { copyFileSync, mkdirSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from "node:fs";
import { dirname, join, relative, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import { crc32, deflateRawSync } from "node:zlib";

const source = dirname(fileURLToPath(import.meta.url));
const out = resolve(process.argv[2] ?? join(source, "..", "build-extension"));
const browsers = ["chromium", "firefox"];
const files = ["background.js", "icons"];

function copyTree(from, to) {
  if (statSync(from).isDirectory()) {
    mkdirSync(to, { recursive: true });
    for (const name of readdirSync(from).sort()) copyTree(join(from, name), join(to, name));
  } else {
    copyFileSync(from, to);
  }
}

function listFiles(folder) {
  return readdirSync(folder, { recursive: true })
    .map(String)
    .filter((name) => statSync(join(folder, name)).isFile())
    .sort();
}

// A zip archive of `folder` (deflated entries, a fixed date so that a build repeats exactly).
function zip(folder, target) {
  const dosTime = 0;
  const dosDate = (1 << 5) | 1; // 1980-01-01
  const local = [];
  const central = [];
  let offset = 0;
  for (const name of listFiles(folder)) {
    const data = readFileSync(join(folder, name));
    const packed = deflateRawSync(data, { level: 9 });
    const path = Buffer.from(name.split("\\").join("/"));
    const crc = crc32(data);
    const header = Buffer.alloc(30);
    header.writeUInt32LE(0x04034b50, 0);
    header.writeUInt16LE(20, 4);
    header.writeUInt16LE(0x0800, 6); // names in UTF-8
    header.writeUInt16LE(8, 8);
    header.writeUInt16LE(dosTime, 10);
    header.writeUInt16LE(dosDate, 12);
    header.writeUInt32LE(crc, 14);
    header.writeUInt32LE(packed.length, 18);
    header.writeUInt32LE(data.length, 22);
    header.writeUInt16LE(path.length, 26);
    local.push(header, path, packed);
    const entry = Buffer.alloc(46);
    entry.writeUInt32LE(0x02014b50, 0);
    entry.writeUInt16LE(20, 4);
    entry.writeUInt16LE(20, 6);
    entry.writeUInt16LE(0x0800, 8);
    entry.writeUInt16LE(8, 10);
    entry.writeUInt16LE(dosTime, 12);
    entry.writeUInt16LE(dosDate, 14);
    entry.writeUInt32LE(crc, 16);
    entry.writeUInt32LE(packed.length, 20);
    entry.writeUInt32LE(data.length, 24);
    entry.writeUInt16LE(path.length, 28);
    entry.writeUInt32LE(offset, 42);
    central.push(entry, path);
    offset += header.length + path.length + packed.length;
  }
  const directory = Buffer.concat(central);
  const end = Buffer.alloc(22);
  end.writeUInt32LE(0x06054b50, 0);
  end.writeUInt16LE(central.length / 2, 8);
  end.writeUInt16LE(central.length / 2, 10);
  end.writeUInt32LE(directory.length, 12);
  end.writeUInt32LE(offset, 16);
  writeFileSync(target, Buffer.concat([...local, directory, end]));
}

const base = JSON.parse(readFileSync(join(source, "manifest.json"), "utf8"));
mkdirSync(out, { recursive: true });
for (const browser of browsers) {
  const manifest = { ...base };
  for (const other of browsers) delete manifest[other];
  Object.assign(manifest, base[browser]);
  const folder = join(out, browser);
  rmSync(folder, { recursive: true, force: true });
  mkdirSync(folder, { recursive: true });
  for (const name of files) copyTree(join(source, name), join(folder, name));
  writeFileSync(join(folder, "manifest.json"), JSON.stringify(manifest, null, 2) + "\n");
  const packed = join(out, browser === "firefox" ? "brindle-firefox.xpi" : "brindle-chromium.zip");
  zip(folder, packed);
  const digest = createHash("sha256").update(readFileSync(packed)).digest("hex").slice(0, 12);
  console.log(`${relative(process.cwd(), packed)} (${digest})`);
}
