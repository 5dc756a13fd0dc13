// The playground: a request editor with the bundled examples, solved by the WebAssembly engine in
// a Web Worker, and the packing report of `varbex render` drawn from the very same page source
// (report_page.html, copied from cli/ when the playground is assembled).
import { createWorkerSolver } from './varbex/worker_solver.js';
import { parseResponse, RequestError } from './varbex/request_error.js';

const REPORT_PLACEHOLDER = '/*VARBEX_RESPONSE*/';
const INSIGHTS_PLACEHOLDER = '/*VARBEX_INSIGHTS*/';
const $ = (id) => document.getElementById(id);

// JSON for inside the page's <script> element: '<' occurs only inside strings, where \u003c means
// the same, so no "</script>" in an item code can end the element early (as cli/report.cc does).
function scriptSafe(text) {
  return text.replaceAll('<', '\\u003c');
}

// As tall as what the report shows: the lowest bottom of the body's children. (The scroll
// heights also count the height the frame had before.) Again whenever the page's width changes,
// since the report's columns wrap.
function fitReportHeight() {
  const frame = $('report');
  const body = frame.contentDocument?.body;
  if (frame.hidden || !body) return;
  const bottoms = [...body.children].map((child) => child.getBoundingClientRect().bottom);
  const margin = parseFloat(getComputedStyle(body).marginBottom);
  frame.style.height = `${Math.ceil(Math.max(0, ...bottoms) + margin)}px`;
}

function showReport(page, responseText, insightsText) {
  const frame = $('report');
  // A function as replacement, so that '$' in the response is taken literally.
  frame.srcdoc = page.replace(REPORT_PLACEHOLDER, () => scriptSafe(responseText))
    .replace(INSIGHTS_PLACEHOLDER, () => scriptSafe(insightsText));
  frame.onload = fitReportHeight;
  frame.hidden = false;
}

function offerDownload(responseText) {
  const link = $('download');
  if (link.href) URL.revokeObjectURL(link.href);
  link.href = URL.createObjectURL(new Blob([responseText], { type: 'application/json' }));
  link.hidden = false;
}

function showError(message) {
  $('error').textContent = message;
  $('error').hidden = !message;
}

async function loadExamples() {
  const names = await (await fetch('examples/index.json')).json();
  const select = $('example');
  for (const name of names) select.append(new Option(name.replace(/\.json$/, ''), name));
  const pick = async () => {
    const name = select.value;
    const text = await (await fetch(`examples/${name}`)).text();
    // A later pick may have finished first; the editor shows the one now selected.
    if (select.value === name) $('request').value = text;
  };
  select.addEventListener('change', pick);
  await pick();
}

async function solveRequest(solver, page) {
  const button = $('solve');
  button.disabled = true;
  showError('');
  $('status').textContent = 'Solving…';
  const started = performance.now();
  try {
    const request = $('request').value;
    const text = await solver.solveText(request);
    const elapsed = Math.round(performance.now() - started);
    offerDownload(text);
    try {
      const response = parseResponse(text);
      const { box_count: boxes, total_placed: placed, total_unplaced: unplaced } = response.summary;
      $('status').textContent =
        `Solved in ${elapsed} ms: ${boxes} box(es), ${placed} placed, ${unplaced} unplaced.`;
      // Reasons, centres of gravity and overhangs; the page goes without them if they fail.
      const insights = await solver.insightsText(request, text);
      showReport(page, text, insights.startsWith('{"error":') ? 'null' : insights);
    } catch (error) {
      if (!(error instanceof RequestError)) throw error;
      $('status').textContent = 'The request could not be read.';
      $('report').hidden = true;
      showError(error.message);
    }
  } catch (error) {
    $('status').textContent = 'Failed.';
    showError(String(error?.message ?? error));
  } finally {
    button.disabled = false;
  }
}

async function main() {
  const [solver, page] = await Promise.all([
    createWorkerSolver(),
    fetch('report_page.html').then((reply) => reply.text()),
    loadExamples(),
  ]);
  $('solve').addEventListener('click', () => solveRequest(solver, page));
  window.addEventListener('resize', fitReportHeight);
  $('solve').disabled = false;
  $('status').textContent = 'Ready.';
}

main().catch((error) => {
  $('status').textContent = 'The playground could not start.';
  showError(String(error?.message ?? error));
});
