// Draws the parts of the HTML report that need the data as a whole: the
// treemaps (range, SEARCH group, section and, with an image, its symbols and
// unattributed bytes; a squarified layout), the section table, the symbol table
// and, when the inlined report has one, the diff with its symbol changes: all
// three tables sortable, paged and filterable by the one paged_table. It reads the
// report from the JSON block of the page only and fetches nothing; when all is
// drawn it sets data-status="ok" on the body, or "error" with the reason.
(function () {
  'use strict';

  const k_page_rows = 500;  // table rows a page: the DOM stays small for any listing
  const k_colours = 10;     // classes c0 ... c9 of the style sheet
  const k_dom_tiles = 4000;  // above this many sections a treemap is a canvas
  const k_escapes = {'&': '&amp;', '<': '&lt;', '>': '&gt;', '"': '&quot;', "'": '&#39;'};

  function esc(text) {
    return String(text).replace(/[&<>"']/g, function (c) {
      return k_escapes[c];
    });
  }

  function hex(value) {
    return '0x' + value.toString(16).toUpperCase().padStart(8, '0');
  }

  function bytes_of(section) {
    return section.unit === 'bits' ? section.size / 8 : section.size;
  }

  function size_text(section) {
    return section.size + (section.unit === 'bits' ? ' bits' : ' bytes');
  }

  // "1 section", "2 sections": the count and its noun.
  function plural(count, one, many) {
    return count + ' ' + (count === 1 ? one : many);
  }

  // A percentage as the page shows it everywhere: two decimals.
  function pct_text(value) {
    return value === null || value === undefined || !isFinite(Number(value))
               ? '' : Number(value).toFixed(2);
  }

  function group_text(report, group) {
    if (group === null || group === undefined) {
      return 'not in any group';
    }
    const entry = report.groups[group];
    return entry ? 'SEARCH ' + entry.search.trim() : 'group ' + group;
  }

  // ---- squarified layout ------------------------------------------------
  // Lays items (sorted by value, largest first, every value > 0) into the
  // rectangle; each item gets x, y, w, h. Rows are closed as soon as the next
  // item would make the worst aspect ratio of the row worse; the running sums
  // keep it linear in the number of items.
  function squarify(items, x, y, w, h) {
    let total = 0;
    for (const item of items) {
      total += item.value;
    }
    if (total <= 0 || w <= 0 || h <= 0) {
      for (const item of items) {
        item.x = x;
        item.y = y;
        item.w = 0;
        item.h = 0;
      }
      return;
    }
    const scale = (w * h) / total;
    let start = 0;
    while (start < items.length) {
      const side = Math.min(w, h);
      const side2 = side * side;
      let sum = items[start].value * scale;
      const largest = sum;
      let worst = Math.max((side2 * largest) / (sum * sum), (sum * sum) / (side2 * largest));
      let end = start + 1;
      while (end < items.length) {
        const area = items[end].value * scale;
        const next = sum + area;
        const next_worst = Math.max((side2 * largest) / (next * next), (next * next) / (side2 * area));
        if (next_worst > worst) {
          break;
        }
        sum = next;
        worst = next_worst;
        ++end;
      }
      // The row runs along the shorter side; it is sum / side thick.
      const thick = Math.min(sum / side, w >= h ? w : h);
      let along = 0;
      for (let i = start; i < end; ++i) {
        const length = (items[i].value * scale) / thick;
        if (w >= h) {
          items[i].x = x;
          items[i].y = y + along;
          items[i].w = thick;
          items[i].h = length;
        } else {
          items[i].x = x + along;
          items[i].y = y;
          items[i].w = length;
          items[i].h = thick;
        }
        along += length;
      }
      if (w >= h) {
        x += thick;
        w -= thick;
      } else {
        y += thick;
        h -= thick;
      }
      start = end;
    }
  }

  // Items with a value of 0 get no area: they sit at the corner with no size,
  // so that every counted section still has its tile.
  function lay_out(items, x, y, w, h) {
    const sized = items.filter(function (item) {
      return item.value > 0;
    });
    sized.sort(function (a, b) {
      return b.value - a.value;
    });
    squarify(sized, x, y, w, h);
    for (const item of items) {
      if (!(item.value > 0)) {
        item.x = x;
        item.y = y;
        item.w = 0;
        item.h = 0;
      }
    }
  }

  // ---- treemap ----------------------------------------------------------
  // range -> group (program ranges: the SEARCH entry that counted the bytes,
  // or none) -> section; memory ranges go straight to their sections. A range
  // that is not full also holds one tile of its free bytes, so its box has the
  // area of its size; an overfull one has none and the area of its use.
  function build_tree(report, kind) {
    const ranges = new Map();
    for (const range of report.ranges) {
      if (range.kind === kind) {
        const free = Number(range.free) > 0 ? Number(range.free) : 0;
        ranges.set(range.id, {range: range, value: free, free: free, groups: new Map()});
      }
    }
    report.sections.forEach(function (section, index) {
      if (section.fate !== 'counted') {
        return;
      }
      const node = ranges.get(section.range);
      if (!node) {
        return;
      }
      const key = kind === 'program' ? (section.group === null ? -1 : section.group) : -2;
      let group = node.groups.get(key);
      if (!group) {
        group = {key: key, value: 0, sections: []};
        node.groups.set(key, group);
      }
      const value = bytes_of(section);
      group.sections.push({index: index, value: value});
      group.value += value;
      node.value += value;
    });
    return Array.from(ranges.values());
  }

  // The symbols of each section (index into report.sections -> indices into report.symbols).
  function symbols_by_section(report) {
    const held = new Map();
    const symbols = Array.isArray(report.symbols) ? report.symbols : [];
    symbols.forEach(function (symbol, index) {
      let list = held.get(symbol.section);
      if (!list) {
        list = [];
        held.set(symbol.section, list);
      }
      list.push(index);
    });
    return held;
  }

  function colour_class(key) {
    return key < 0 ? 'cnone' : 'c' + (key % k_colours);
  }

  function percent(part, whole) {
    return ((part * 100) / whole).toFixed(4) + '%';
  }

  // Every box and tile of one treemap, in drawing order, in pixels.
  function lay_out_treemap(report, kind, width, height) {
    const nodes = build_tree(report, kind);
    const held = symbols_by_section(report);
    const boxes = [];
    const leaves = [];
    const frees = [];
    // A box keeps a strip for its label when it is large enough to show one.
    function inner(node, pad, head) {
      const top = node.h > 3 * head && node.w > 40 ? head : pad;
      return [node.x + pad, node.y + top, Math.max(node.w - 2 * pad, 0),
              Math.max(node.h - top - pad, 0)];
    }
    lay_out(nodes, 0, 0, width, height);
    for (const node of nodes) {
      const range = node.range;
      const title = range.id + (range.label ? ' ' + range.label : '') + ': ' + range.used +
                    ' of ' + range.size + ' bytes';
      boxes.push({x: node.x, y: node.y, w: node.w, h: node.h, cls: 'box range', title: title});
      const groups = Array.from(node.groups.values());
      const area = inner(node, 2, 16);
      const parts = groups.slice();
      const free = {value: node.free};
      if (node.free > 0) {
        parts.push(free);
      }
      lay_out(parts, area[0], area[1], area[2], area[3]);
      if (node.free > 0) {
        frees.push({x: free.x, y: free.y, w: free.w, h: free.h, bytes: node.free,
                    range: range.id});
      }
      for (const group of groups) {
        let group_area = [group.x, group.y, group.w, group.h];
        if (kind === 'program') {
          const group_title = group_text(report, group.key === -1 ? null : group.key) + ': ' +
                              group.value + ' bytes in ' + range.id;
          boxes.push({x: group.x, y: group.y, w: group.w, h: group.h, cls: 'box group',
                      title: group_title});
          group_area = inner(group, 1, 15);
        }
        lay_out(group.sections, group_area[0], group_area[1], group_area[2], group_area[3]);
        // Memory ranges have no groups: their tiles take a colour per range.
        const colour = kind === 'program' ? colour_class(group.key)
                                          : 'c' + ((range.index + 6) % k_colours);
        for (const leaf of group.sections) {
          const symbols = held.get(leaf.index);
          if (!symbols) {
            leaves.push({x: leaf.x, y: leaf.y, w: leaf.w, h: leaf.h, colour: colour,
                         kind: 'section', index: leaf.index, range: range.id});
            continue;
          }
          // A section with symbols is a box of its symbols' tiles and one tile of the bytes
          // no symbol holds.
          const section = report.sections[leaf.index];
          boxes.push({x: leaf.x, y: leaf.y, w: leaf.w, h: leaf.h, cls: 'box section',
                      colour: colour, title: section_title(report, leaf.index, range.id)});
          const parts = symbols.map(function (symbol) {
            return {symbol: symbol, value: Number(report.symbols[symbol].bytes)};
          });
          const unattributed = Number(section.unattributed) > 0 ? Number(section.unattributed) : 0;
          if (unattributed > 0) {
            parts.push({symbol: -1, value: unattributed});
          }
          const section_area = inner(leaf, 1, 14);
          lay_out(parts, section_area[0], section_area[1], section_area[2], section_area[3]);
          for (const part of parts) {
            leaves.push({x: part.x, y: part.y, w: part.w, h: part.h, colour: colour,
                         kind: part.symbol < 0 ? 'unattributed' : 'symbol', symbol: part.symbol,
                         bytes: part.value, index: leaf.index, range: range.id});
          }
        }
      }
    }
    return {boxes: boxes, leaves: leaves, frees: frees};
  }

  function free_title(free) {
    return 'free: ' + free.bytes + (free.bytes === 1 ? ' byte' : ' bytes') + ' of ' + free.range;
  }

  function section_title(report, index, range) {
    const section = report.sections[index];
    return section.name + ': ' + size_text(section) + ' at ' + hex(section.start) + ', ' + range;
  }

  function leaf_title(report, leaf) {
    if (leaf.kind === 'symbol') {
      const symbol = report.symbols[leaf.symbol];
      return symbol.display + ': ' + plural(Number(symbol.bytes), 'byte', 'bytes') + ' at ' +
             hex(symbol.address) + ', ' + report.sections[leaf.index].name + ', ' + leaf.range;
    }
    if (leaf.kind === 'unattributed') {
      return 'unattributed: ' + plural(leaf.bytes, 'byte', 'bytes') + ' of ' +
             report.sections[leaf.index].name + ', ' + leaf.range;
    }
    return section_title(report, leaf.index, leaf.range);
  }

  function leaf_label(report, leaf) {
    if (leaf.kind === 'symbol') {
      return report.symbols[leaf.symbol].display;
    }
    return leaf.kind === 'unattributed' ? 'unattributed' : report.sections[leaf.index].name;
  }

  // One absolutely placed div a box or tile, made as one string.
  function render_dom(report, layout, element, width, height) {
    const html = [];
    function place(item, cls, extra, title, label) {
      html.push('<div class="', cls, '"', extra, ' style="left:', percent(item.x, width),
                ';top:', percent(item.y, height), ';width:', percent(item.w, width),
                ';height:', percent(item.h, height), '" title="', esc(title), '">', label,
                '</div>');
    }
    for (const box of layout.boxes) {
      place(box, box.cls, '', box.title, box.h > 42 && box.w > 40 ? esc(box.title) : '');
    }
    for (const free of layout.frees) {
      place(free, 'free-tile', ' data-range="' + esc(free.range) + '" data-bytes="' + free.bytes +
            '"', free_title(free), 'free');
    }
    for (const leaf of layout.leaves) {
      let cls = 'tile ' + leaf.colour;
      let extra = ' data-i="' + leaf.index + '"';
      if (leaf.kind === 'symbol') {
        cls = 'tile symbol ' + leaf.colour;
        extra += ' data-s="' + leaf.symbol + '"';
      } else if (leaf.kind === 'unattributed') {
        cls = 'unattributed-tile';
        extra += ' data-bytes="' + leaf.bytes + '"';
      }
      place(leaf, cls, extra, leaf_title(report, leaf),
            leaf.w > 48 && leaf.h > 14 ? esc(leaf_label(report, leaf)) : '');
    }
    element.innerHTML = html.join('');
  }

  // The colours of the style sheet's classes, read once from elements made for it.
  function class_colours(element) {
    const colours = new Map();
    const probe = document.createElement('span');
    element.appendChild(probe);
    for (const cls of ['cnone', 'free-tile', 'unattributed-tile'].concat(Array.from({length: k_colours}, (_, i) => 'c' + i))) {
      probe.className = cls;
      colours.set(cls, getComputedStyle(probe).backgroundColor);
    }
    element.removeChild(probe);
    return colours;
  }

  // A large treemap as one canvas: the hover label is looked up from the pointer.
  function render_canvas(report, layout, element, width, height) {
    const colours = class_colours(element);
    const ratio = window.devicePixelRatio || 1;
    const canvas = document.createElement('canvas');
    canvas.width = Math.round(width * ratio);
    canvas.height = Math.round(height * ratio);
    const context = canvas.getContext('2d');
    context.scale(ratio, ratio);
    context.font = '11px sans-serif';
    context.textBaseline = 'top';
    function label(item, text, weight) {
      if (item.w > 48 && item.h > 14) {
        context.save();
        context.beginPath();
        context.rect(item.x, item.y, item.w, item.h);
        context.clip();
        context.fillStyle = '#10151c';
        context.font = weight + ' 11px sans-serif';
        context.fillText(text, item.x + 3, item.y + 1);
        context.restore();
      }
    }
    for (const box of layout.boxes) {
      context.fillStyle = box.colour ? colours.get(box.colour)
                          : box.cls === 'box range' ? '#dfe4ea' : 'rgba(255, 255, 255, 0.35)';
      context.fillRect(box.x, box.y, box.w, box.h);
      context.strokeStyle = box.cls === 'box range' ? '#6b7686' : '#8d97a6';
      context.strokeRect(box.x + 0.5, box.y + 0.5, Math.max(box.w - 1, 0), Math.max(box.h - 1, 0));
      if (box.h > 42) {
        label(box, box.title, box.cls === 'box range' ? '600' : '500');
      }
    }
    for (const free of layout.frees) {
      context.fillStyle = colours.get('free-tile');
      context.fillRect(free.x, free.y, free.w, free.h);
      context.strokeStyle = '#8d97a6';
      context.setLineDash([4, 3]);
      context.strokeRect(free.x + 0.5, free.y + 0.5, Math.max(free.w - 1, 0),
                         Math.max(free.h - 1, 0));
      context.setLineDash([]);
      label(free, 'free', '400');
    }
    context.strokeStyle = 'rgba(255, 255, 255, 0.75)';
    for (const leaf of layout.leaves) {
      context.fillStyle =
          colours.get(leaf.kind === 'unattributed' ? 'unattributed-tile' : leaf.colour);
      context.fillRect(leaf.x, leaf.y, leaf.w, leaf.h);
      if (leaf.w > 3 && leaf.h > 3) {
        context.strokeRect(leaf.x + 0.5, leaf.y + 0.5, leaf.w - 1, leaf.h - 1);
      }
      label(leaf, leaf_label(report, leaf), '400');
    }
    canvas.addEventListener('mousemove', function (event) {
      const scale = width / canvas.clientWidth;
      const x = event.offsetX * scale;
      const y = event.offsetY * (height / canvas.clientHeight);
      for (const leaf of layout.leaves) {
        if (x >= leaf.x && x < leaf.x + leaf.w && y >= leaf.y && y < leaf.y + leaf.h) {
          canvas.title = leaf_title(report, leaf);
          return;
        }
      }
      for (const free of layout.frees) {
        if (x >= free.x && x < free.x + free.w && y >= free.y && y < free.y + free.h) {
          canvas.title = free_title(free);
          return;
        }
      }
      canvas.title = '';
    });
    element.textContent = '';
    element.appendChild(canvas);
  }

  // Up to k_dom_tiles tiles (sections, symbols and unattributed bytes together) each is a
  // div of its own (hover shows its label); beyond that one canvas draws them, which stays
  // fast for any listing or image.
  function draw_treemap(report, kind, element) {
    const width = Math.max(element.clientWidth, 200);
    const height = Math.max(element.clientHeight, 100);
    const layout = lay_out_treemap(report, kind, width, height);
    const drawn = layout.leaves.length <= k_dom_tiles ? 'dom' : 'canvas';
    if (drawn === 'dom') {
      render_dom(report, layout, element, width, height);
    } else {
      render_canvas(report, layout, element, width, height);
    }
    element.setAttribute('data-drawn', drawn);
    element.setAttribute('data-tiles', String(layout.leaves.length));
    return layout.leaves.length;
  }

  function draw_legend(report, element) {
    const used = new Set();
    for (const section of report.sections) {
      if (section.fate === 'counted' && section.range && section.range.startsWith('program')) {
        used.add(section.group === null ? -1 : section.group);
      }
    }
    const keys = Array.from(used).sort(function (a, b) {
      return a - b;
    });
    element.innerHTML = keys
        .map(function (key) {
          return '<span><i class="' + colour_class(key) + '"></i>' +
                 esc(group_text(report, key < 0 ? null : key)) + '</span>';
        })
        .join('');
  }

  // ---- tables -----------------------------------------------------------
  // One sortable, paged, filterable table. options: element (the table; its th are the columns),
  // pager, items (the data rows), order (indices into items, as first shown), columns ({cls,
  // text(item) as HTML, value(item) to sort by, title(item) as HTML or ''}), attribute (the
  // row's data attribute holding its index), noun ([one, many]), row_class(item) (optional),
  // and filter: none, or {inputs, matching()} where matching gives a test of an index or null
  // for all rows. A click on a header sorts by its column (again: the other way); ties keep
  // the items' order. Only one page of rows is ever in the DOM.
  function paged_table(options) {
    const all = options.order.slice();
    const head = options.element.querySelectorAll('th');
    let rows = all;
    let test = null;
    let page = 0;

    function filter() {
      test = options.filter ? options.filter.matching() : null;
      rows = test === null ? all.slice() : all.filter(test);
      page = 0;
    }

    function draw() {
      const first = page * k_page_rows;
      const last = Math.min(rows.length, first + k_page_rows);
      const html = [];
      for (let i = first; i < last; ++i) {
        const item = options.items[rows[i]];
        const cls = options.row_class ? ' class="' + options.row_class(item) + '"' : '';
        html.push('<tr', cls, ' ', options.attribute, '="', rows[i], '">');
        for (const column of options.columns) {
          const title = column.title ? column.title(item) : '';
          html.push('<td class="', column.cls, '"', title === '' ? '' : ' title="' + title + '"',
                    '>', column.text(item), '</td>');
        }
        html.push('</tr>');
      }
      options.element.tBodies[0].innerHTML = html.join('');
      const count = (test === null ? '' : rows.length + ' of ') +
                    plural(all.length, options.noun[0], options.noun[1]) +
                    (test === null ? '' : ' match');
      if (rows.length <= k_page_rows) {
        options.pager.innerHTML = '<span class="note">' + esc(count) + '</span>';
        return;
      }
      options.pager.innerHTML =
          '<button type="button" data-step="-1"' + (page === 0 ? ' disabled' : '') +
          '>previous</button><button type="button" data-step="1"' +
          (last >= rows.length ? ' disabled' : '') + '>next</button>' +
          '<span class="note">rows ' + (first + 1) + '\u2013' + last + ' of ' + esc(count) +
          '</span>';
    }

    options.pager.addEventListener('click', function (event) {
      const step = Number(event.target.getAttribute('data-step'));
      if (step) {
        page = Math.max(0, Math.min(page + step, Math.ceil(rows.length / k_page_rows) - 1));
        draw();
      }
    });
    if (options.filter) {
      for (const input of options.filter.inputs) {
        input.addEventListener('input', function () {
          filter();
          draw();
        });
      }
    }
    head.forEach(function (th, at) {
      th.addEventListener('click', function () {
        const ascending = th.getAttribute('aria-sort') !== 'ascending';
        head.forEach(function (other) {
          other.removeAttribute('aria-sort');
        });
        th.setAttribute('aria-sort', ascending ? 'ascending' : 'descending');
        const value = options.columns[at].value;
        const keys = new Map();
        for (const index of all) {
          keys.set(index, value(options.items[index]));
        }
        const direction = ascending ? 1 : -1;
        all.sort(function (a, b) {
          const x = keys.get(a);
          const y = keys.get(b);
          const order = x < y ? -1 : x > y ? 1 : a - b;
          return order * direction;
        });
        filter();
        draw();
      });
    });
    filter();
    draw();
  }

  // ---- section table ----------------------------------------------------
  function section_table(report, element, pager) {
    const rows = [];
    report.sections.forEach(function (section, index) {
      if (section.fate === 'counted') {
        rows.push(index);
      }
    });
    const group_cell = function (s) {
      return s.range && s.range.startsWith('memory') ? '' : esc(group_text(report, s.group));
    };
    const columns = [
      {cls: 'name', text: function (s) { return esc(s.name); },
       value: function (s) { return s.name; }},
      {cls: '', text: function (s) { return esc(s.range); },
       value: function (s) { return s.range; }},
      {cls: 'group', text: group_cell, title: group_cell,
       value: function (s) { return s.group === null ? -1 : s.group; }},
      {cls: 'num mono', text: function (s) { return hex(s.start); },
       value: function (s) { return s.start; }},
      {cls: 'num nowrap', text: function (s) { return s.unit === 'bits' ? s.size + ' bits' : String(s.size); },
       value: function (s) { return bytes_of(s); }},
      {cls: 'num', text: function (s) { return s.line === null ? '' : String(s.line); },
       value: function (s) { return s.line === null ? 0 : s.line; }},
    ];
    paged_table({element: element, pager: pager, items: report.sections, order: rows,
                 columns: columns, attribute: 'data-i',
                 noun: ['counted section', 'counted sections']});
  }

  // ---- symbol table -----------------------------------------------------
  // The image's symbols, largest first; the search keeps the rows whose name or display name
  // holds the text (any case). The page's address may preset it: ...#symbol-search=printf.
  function symbol_table(report, element, pager, search) {
    const symbols = Array.isArray(report.symbols) ? report.symbols : [];
    const order = symbols.map(function (_, index) {
      return index;
    });
    order.sort(function (a, b) {
      return Number(symbols[b].bytes) - Number(symbols[a].bytes) || a - b;
    });
    const section_of = function (s) {
      return report.sections[s.section] || {name: '', range: ''};
    };
    const columns = [
      {cls: 'name', text: function (s) { return esc(s.display); },
       title: function (s) { return s.name === s.display ? '' : esc(s.name); },
       value: function (s) { return s.display; }},
      {cls: '', text: function (s) { return esc(s.kind); },
       value: function (s) { return s.kind; }},
      {cls: '', text: function (s) { return esc(s.binding); },
       value: function (s) { return s.binding; }},
      {cls: 'mono', text: function (s) { return esc(section_of(s).name); },
       value: function (s) { return s.section; }},
      {cls: '', text: function (s) { return esc(section_of(s).range || ''); },
       value: function (s) { return section_of(s).range || ''; }},
      {cls: 'num', text: function (s) { return String(s.bytes); },
       value: function (s) { return Number(s.bytes); }},
      {cls: 'num', text: function (s) { return String(s.size); },
       value: function (s) { return Number(s.size); }},
    ];
    const preset = /(?:^#|&)symbol-search=([^&]*)/.exec(window.location.hash);
    if (preset) {
      try {
        search.value = decodeURIComponent(preset[1]);
      } catch (error) {
        search.value = preset[1];
      }
    }
    paged_table({element: element, pager: pager, items: symbols, order: order, columns: columns,
                 attribute: 'data-s', noun: ['symbol', 'symbols'], filter: {
                   inputs: [search],
                   matching: function () {
                     const wanted = search.value.trim().toLowerCase();
                     if (wanted === '') {
                       return null;
                     }
                     return function (index) {
                       return String(symbols[index].name).toLowerCase().includes(wanted) ||
                              String(symbols[index].display).toLowerCase().includes(wanted);
                     };
                   }}});
  }

  // ---- diff ------------------------------------------------------------
  // The "vemora-diff" object of the report: tables of the totals, ranges,
  // groups and sections, in the diff's order (|delta| largest first); growth
  // red, shrinkage green, unchanged plain, the status always as text.
  const k_diff_rows = 200;  // section rows shown; the note says how many more there are

  function diff_cell(value) {
    return value === null || value === undefined ? '' : esc(value);
  }

  function diff_table(title, names, rows, name_of, cap) {
    const shown = Math.min(rows.length, cap);
    const html = ['<h3>', esc(title), '</h3><table class="diff" data-level="', esc(title),
                  '"><thead><tr>'];
    for (const name of names) {
      html.push('<th>', esc(name), '</th>');
    }
    html.push('<th class="num">base</th><th class="num">current</th><th class="num">delta</th>',
              '<th>status</th></tr></thead><tbody>');
    for (let i = 0; i < shown; ++i) {
      const row = rows[i];
      const delta = Number(row.delta);
      const cls = delta > 0 ? 'grow' : delta < 0 ? 'shrink' : 'same';
      html.push('<tr class="', cls, '">');
      for (const text of name_of(row)) {
        html.push('<td class="mono">', diff_cell(text), '</td>');
      }
      html.push('<td class="num">', diff_cell(row.base), '</td><td class="num">',
                diff_cell(row.current), '</td><td class="num delta">', delta > 0 ? '+' : '',
                diff_cell(row.delta), '</td><td class="status">', diff_cell(row.status),
                '</td></tr>');
    }
    html.push('</tbody></table>');
    if (shown < rows.length) {
      html.push('<p class="note diff-more">', plural(rows.length - shown, 'more row', 'more rows'),
                ' of ', esc(title.toLowerCase()), ' not shown (', String(rows.length),
                ' in the data, largest changes first).</p>');
    }
    return html.join('');
  }

  function draw_diff(report) {
    const diff = report.diff;
    if (!diff || typeof diff !== 'object' || diff.schema !== 'vemora-diff') {
      return;
    }
    const list = function (rows) {
      return Array.isArray(rows) ? rows : [];
    };
    const totals = [];
    for (const area of ['program', 'memory']) {
      if (diff.totals && diff.totals[area]) {
        totals.push(Object.assign({area: area}, diff.totals[area]));
      }
    }
    for (const row of totals) {
      row.status = Number(row.delta) === 0 ? 'unchanged' : 'changed';
    }
    const html = [
      diff_table('Totals', ['area'], totals, function (row) { return [row.area]; }, Infinity),
      diff_table('Ranges', ['range', 'used % base', 'used % current'], list(diff.ranges),
                 function (row) {
                   return [row.id, pct_text(row.base_used_pct), pct_text(row.current_used_pct)];
                 }, Infinity),
      diff_table('Groups', ['search'], list(diff.groups), function (row) {
        return [row.search];
      }, Infinity),
      diff_table('Sections', ['name', 'base range', 'current range'], list(diff.sections),
                 function (row) {
                   return [row.name, row.base_range, row.current_range];
                 }, k_diff_rows),
    ];
    const symbols = diff.symbols && typeof diff.symbols === 'object' ? diff.symbols : null;
    const one_side = {base_only: 'the base report', current_only: 'the current report'};
    if (symbols && one_side[symbols.sides]) {
      html.push('<p class="note" id="symbol-change-note">Symbols: only ',
                one_side[symbols.sides], ' carries symbols (made with an image); the diff ',
                'compares sections only.</p>');
    }
    const changes = symbols && symbols.sides === 'both' ? list(symbols.rows) : [];
    if (changes.length > 0) {
      html.push('<h3>Symbol changes</h3><input type="search" class="symbol-search" ',
                'id="symbol-change-search" placeholder="name contains" ',
                'aria-label="search the symbol changes by name"> <select ',
                'id="symbol-change-status" aria-label="status of the symbol changes">',
                '<option value="">every status</option>');
      for (const status of ['grown', 'shrunk', 'added', 'removed', 'moved', 'unchanged']) {
        html.push('<option value="', status, '">', status, '</option>');
      }
      html.push('</select><div class="pager" id="symbol-change-pager"></div>',
                '<div class="table-box"><table class="diff symbol-changes" ',
                'data-level="Symbol changes" id="symbol-change-table"><thead><tr>',
                '<th>symbol</th><th>status</th><th>range</th><th>section</th>',
                '<th class="num">base</th><th class="num">current</th><th class="num">delta</th>',
                '</tr></thead><tbody></tbody></table></div>');
    }
    const part = document.getElementById('diff');
    document.getElementById('diff-tables').innerHTML = html.join('');
    if (changes.length > 0) {
      symbol_change_table(changes, document.getElementById('symbol-change-table'),
                          document.getElementById('symbol-change-pager'),
                          document.getElementById('symbol-change-search'),
                          document.getElementById('symbol-change-status'));
    }
    part.hidden = false;
  }

  // The symbol rows of the diff in its order (|delta| largest first), filtered by name and
  // status; a removed symbol shows where it was, a moved one both sections.
  function symbol_change_table(changes, element, pager, search, status) {
    const side = function (row) {
      return row.current || row.base || {section: '', range: ''};
    };
    const section_text = function (row) {
      if (row.base && row.current && row.base.section !== row.current.section) {
        return row.base.section + ' \u2192 ' + row.current.section;
      }
      return side(row).section;
    };
    const amount = function (place) {
      return place ? Number(place.bytes) : 0;
    };
    const columns = [
      {cls: 'mono name', text: function (r) { return esc(r.display); },
       title: function (r) { return r.key === r.display ? '' : esc(r.key); },
       value: function (r) { return r.display; }},
      {cls: 'status', text: function (r) { return esc(r.status); },
       value: function (r) { return r.status; }},
      {cls: '', text: function (r) { return esc(side(r).range); },
       value: function (r) { return side(r).range; }},
      {cls: 'mono', text: function (r) { return esc(section_text(r)); }, value: section_text},
      {cls: 'num', text: function (r) { return String(amount(r.base)); }, value: function (r) {
        return amount(r.base);
      }},
      {cls: 'num', text: function (r) { return String(amount(r.current)); },
       value: function (r) { return amount(r.current); }},
      {cls: 'num delta', text: function (r) {
        return (Number(r.delta) > 0 ? '+' : '') + esc(r.delta);
      }, value: function (r) { return Number(r.delta); }},
    ];
    paged_table({element: element, pager: pager, items: changes,
                 order: changes.map(function (_, index) { return index; }), columns: columns,
                 attribute: 'data-c', noun: ['symbol', 'symbols'], row_class: function (r) {
                   const delta = Number(r.delta);
                   return delta > 0 ? 'grow' : delta < 0 ? 'shrink' : 'same';
                 }, filter: {
                   inputs: [search, status],
                   matching: function () {
                     const wanted = search.value.trim().toLowerCase();
                     const kept = status.value;
                     if (wanted === '' && kept === '') {
                       return null;
                     }
                     return function (index) {
                       const row = changes[index];
                       return (kept === '' || row.status === kept) &&
                              (String(row.display).toLowerCase().includes(wanted) ||
                               String(row.key).toLowerCase().includes(wanted));
                     };
                   }}});
  }

  const body = document.body;
  const started = performance.now();
  try {
    const report = JSON.parse(document.getElementById('vemora-report').textContent);
    let tiles = 0;
    for (const kind of ['program', 'memory']) {
      const element = document.getElementById('treemap-' + kind);
      if (element) {
        tiles += draw_treemap(report, kind, element);
      }
    }
    const legend = document.getElementById('treemap-legend');
    if (legend) {
      draw_legend(report, legend);
    }
    section_table(report, document.getElementById('section-table'),
                  document.getElementById('section-pager'));
    const symbols = document.getElementById('symbol-table');
    if (symbols) {
      symbol_table(report, symbols, document.getElementById('symbol-pager'),
                   document.getElementById('symbol-search'));
    }
    draw_diff(report);
    body.setAttribute('data-tiles', String(tiles));
    body.setAttribute('data-draw-ms', String(Math.round(performance.now() - started)));
    body.setAttribute('data-status', 'ok');
  } catch (error) {
    const note = document.getElementById('script-error');
    if (note) {
      note.textContent = 'The treemap and the section table could not be drawn: ' + error;
      note.hidden = false;
    }
    body.setAttribute('data-status', 'error');
  }
})();
