// SPDX-License-Identifier: GPL-3.0-or-later
// The Brindle extension: the toolbar button (also the keyboard shortcut) adds the page, the badge
// tells whether the page is saved, and the context menu adds every tab or a link. Everything
// goes to the host program "org.example.brindle" (brindle-cli native-host), which reaches the
// running Brindle window or, without one, the last document it had open.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const HOST = "org.example.brindle";
// Addresses a bookmark can hold; the browser's own pages are left alone.
const SAVEABLE = /^(https?|ftp|file):/i;

// --- The host --------------------------------------------------------------------------------
// One connection, kept open so that the host keeps its document loaded between messages. Each
// request carries an id that its reply brings back.
let port = null;
let nextId = 1;
const waiting = new Map();

function connect() {
  if (port) return port;
  port = api.runtime.connectNative(HOST);
  port.onMessage.addListener((message) => {
    if (message && message.type === "active-tab-request") {
      answerActiveTab(message);
      return;
    }
    const pending = waiting.get(message?.id);
    if (pending) {
      waiting.delete(message.id);
      pending.resolve(message);
    }
  });
  port.onDisconnect.addListener(() => {
    const error = api.runtime.lastError?.message ?? "The Brindle host ended.";
    port = null;
    for (const pending of waiting.values()) pending.reject(new Error(error));
    waiting.clear();
  });
  return port;
}

function ask(request) {
  return new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject });
    try {
      connect().postMessage({ ...request, id });
    } catch (error) {
      waiting.delete(id);
      reject(error);
    }
  });
}

// The window asks for the page in front (its Fast Add and capture hot keys).
async function answerActiveTab(message) {
  const [tab] = await api.tabs.query({ active: true, lastFocusedWindow: true });
  const reply = { type: "active-tab", request: message.request };
  if (tab && SAVEABLE.test(tab.url ?? "")) {
    reply.url = tab.url;
    reply.title = tab.title ?? "";
  }
  connect().postMessage(reply);
}

// --- Telling the user ------------------------------------------------------------------------
function tell(text) {
  api.notifications.create({
    type: "basic",
    iconUrl: api.runtime.getURL("icons/brindle-48.png"),
    title: "Brindle",
    message: text,
  });
}

async function showSaved(tabId, url) {
  if (!SAVEABLE.test(url ?? "")) {
    await api.action.setBadgeText({ tabId, text: "" });
    return false;
  }
  const reply = await ask({ type: "lookup", url });
  const saved = reply.type === "lookup" && reply.saved === true;
  await api.action.setBadgeBackgroundColor({ tabId, color: "#6e4524" });
  await api.action.setBadgeText({ tabId, text: saved ? "\u2713" : "" });
  await api.action.setTitle({
    tabId,
    title: saved ? `In Brindle: ${reply.names.join(", ")}` : "Add to Brindle",
  });
  return saved;
}

function refreshBadge(tabId, url) {
  showSaved(tabId, url).catch(() => api.action.setBadgeText({ tabId, text: "" }));
}

// --- Adding ----------------------------------------------------------------------------------
// The page's meta description and the selected text (nothing on pages scripts may not enter).
async function pageTexts(tabId) {
  try {
    const [result] = await api.scripting.executeScript({
      target: { tabId },
      func: () => ({
        meta: document.querySelector('meta[name="description" i]')?.content ?? "",
        selection: String(globalThis.getSelection?.() ?? ""),
      }),
    });
    return result?.result ?? { meta: "", selection: "" };
  } catch {
    return { meta: "", selection: "" };
  }
}

async function addPage(tab, { quiet = false } = {}) {
  if (!tab || !SAVEABLE.test(tab.url ?? "")) {
    tell("This page cannot be bookmarked.");
    return null;
  }
  const { meta, selection } = await pageTexts(tab.id);
  const description = [meta, selection].map((text) => text.replace(/\s+/g, " ").trim()).filter(Boolean).join(" ");
  const reply = await ask({ type: "add", url: tab.url, title: tab.title ?? "", description, quiet });
  // "opened": the Add Bookmark sheet is up in the window, which speaks for itself.
  if (reply.result !== "opened") tell(reply.message || "Brindle did not answer.");
  refreshBadge(tab.id, tab.url);
  return reply;
}

async function addLink(info, tab) {
  const url = info.linkUrl;
  const title = (info.linkText ?? info.selectionText ?? "").trim() || url;
  const reply = await ask({ type: "add", url, title, description: "", quiet: false });
  if (reply.result !== "opened") tell(reply.message || "Brindle did not answer.");
  if (tab) refreshBadge(tab.id, tab.url);
  return reply;
}

async function addAllTabs() {
  const tabs = (await api.tabs.query({ lastFocusedWindow: true }))
    .filter((tab) => SAVEABLE.test(tab.url ?? ""))
    .map((tab) => ({ url: tab.url, title: tab.title ?? "" }));
  const reply = await ask({ type: "add-tabs", tabs });
  if (reply.type === "add-tabs")
    tell(`Added ${reply.added} of ${tabs.length} tabs to Brindle (${reply.existing} were there already).`);
  else tell(reply.message || "Brindle did not answer.");
  return reply;
}

function reportFailure(error) {
  tell(`Brindle could not be reached: ${error.message}. Run "brindle-cli install-browser-host".`);
}

// --- Wiring ----------------------------------------------------------------------------------
api.runtime.onInstalled.addListener(async () => {
  await api.contextMenus.removeAll();
  api.contextMenus.create({ id: "add-all-tabs", title: "Add All Tabs to Brindle", contexts: ["page", "action"] });
  api.contextMenus.create({ id: "add-link", title: "Add Link to Brindle", contexts: ["link"] });
});

api.contextMenus.onClicked.addListener((info, tab) => {
  const run = info.menuItemId === "add-link" ? addLink(info, tab) : addAllTabs();
  run.catch(reportFailure);
});

api.action.onClicked.addListener((tab) => {
  addPage(tab).catch(reportFailure);
});

api.tabs.onActivated.addListener(({ tabId }) => {
  api.tabs.get(tabId).then((tab) => refreshBadge(tabId, tab.url), () => {});
});

api.tabs.onUpdated.addListener((tabId, change, tab) => {
  if (change.url || change.status === "complete") refreshBadge(tabId, tab.url);
});

// For the end-to-end test, which drives the worker directly.
globalThis.brindle = { ask, addPage, addAllTabs, showSaved };
