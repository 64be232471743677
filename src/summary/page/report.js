// The report page: reads the data the summary wrote into the page and draws
// the heatmap, the dendrogram, the groups and the table of pairs for the
// state chosen. It never forms an average: every number shown is the text the
// summary wrote; the page only picks, sorts and draws.
(function () {
  'use strict';

  var SVG = 'http://www.w3.org/2000/svg';
  // Colours a colour-blind reader can tell apart (Okabe and Ito), for groups.
  var GROUP_COLOURS = ['#E69F00', '#56B4E9', '#009E73', '#F0E442', '#0072B2', '#D55E00',
    '#CC79A7', '#000000'];
  var TABLE_ROWS = 500;  // rows of the pairs table shown at once
  var LEVELS = 100;      // steps of the colour scale, as in the picture
  // Above this many locations the map's colours go on a canvas (see drawMap):
  // an SVG of more cells takes seconds to build and lay out.
  var LARGE_MAP = 100;

  var data = JSON.parse(document.getElementById('report-data').textContent);
  var names = data.locations;
  var L = names.length;
  var view = {
    state: data.states.length - 1,
    groups: Math.min(Math.max(data.groups || 2, 1), L),
    cell: null
  };
  var unpacked = {};
  var sort = { key: null, descending: false };

  function byId(id) { return document.getElementById(id); }

  (window.pendingErrors || []).forEach(function (text) {
    var line = document.createElement('p');
    line.textContent = text;
    byId('errors').appendChild(line);
  });

  // The pair (i, j) of location numbers in the packed upper triangle.
  function packed(i, j) {
    if (i > j) { var t = i; i = j; j = t; }
    return j * (j - 1) / 2 + i - 1;
  }

  function state() { return data.states[view.state]; }

  // A packed triangle of texts as the summary writes it: comma-separated,
  // a run of equal texts written once as TEXT*COUNT.
  function split(packedTexts) {
    var parts = packedTexts.split(',');
    if (packedTexts.indexOf('*') < 0) return parts;
    var texts = [];
    parts.forEach(function (part) {
      var star = part.indexOf('*');
      if (star < 0) {
        texts.push(part);
        return;
      }
      var text = part.slice(0, star);
      for (var n = Number(part.slice(star + 1)); n > 0; --n) texts.push(text);
    });
    return texts;
  }

  // A state's per-pair texts, split once.
  function texts(index) {
    if (!unpacked[index]) {
      var s = data.states[index];
      unpacked[index] = {
        values: split(s.values),
        common: split(s.common),
        years: split(s.years),
        pale: s.pale !== undefined ? split(s.pale) : null
      };
      ['ci_low', 'ci_high', 'heterogeneity_q', 'heterogeneity_df', 'heterogeneity_p', 'sd_years',
        'together'].forEach(function (key) {
        if (s[key] !== undefined) unpacked[index][key] = split(s[key]);
      });
    }
    return unpacked[index];
  }

  function label(i) {
    var name = names[i - 1];
    return name === String(i) ? name : i + ' ' + name;
  }

  function yearText(s) {
    return s.name ? s.year + ' (' + s.name + ')' : String(s.year);
  }

  function level(value, scale) {
    var t = (value - scale[0]) / (scale[1] - scale[0]);
    if (!(t > 0)) return 0;
    return Math.min(LEVELS - 1, Math.floor(t * LEVELS));
  }

  function isThin(common) {
    return common !== '' && Number(common) < data.min_common;
  }

  // Pale as the picture draws it: by the state's own rule where the summary
  // wrote one (the interval's width), else on too few entries in common.
  function isPale(p, common) {
    var pale = texts(view.state).pale;
    return pale ? pale[p] === '1' : isThin(common);
  }

  function cellColour(i, j, value, common, scale) {
    var colours = data.colours;
    if (value === '') return colours.never_compared;
    if (value === '?') return colours.unknown;
    if (value === '-') return colours.no_value;
    if (i === j) return colours.diagonal;
    return colours.steps[level(Number(value), scale) + (isPale(packed(i, j), common) ? LEVELS : 0)];
  }

  function shortValue(text) {
    var v = Number(text);
    return Math.abs(v) < 10 ? v.toFixed(2).replace(/^-0\.00$/, '0.00') : v.toPrecision(3);
  }

  // The groups left when the last K - 1 merges are undone, numbered in the
  // drawing order: the groups locprox-summary --groups K prints.
  function cutGroups(s, K) {
    var merges = s.merges;
    var root = [];
    for (var x = 0; x < L + merges.length; ++x) root.push(x);
    function find(node) {
      while (root[node] !== node) {
        root[node] = root[root[node]];
        node = root[node];
      }
      return node;
    }
    for (var k = 0; k < L - K; ++k) {
      root[find(merges[k][0])] = L + k;
      root[find(merges[k][1])] = L + k;
    }
    var group = new Array(L);
    var number = {};
    var next = 0;
    s.order.forEach(function (location) {
      var r = find(location);
      if (!(r in number)) number[r] = ++next;
      group[location] = number[r];
    });
    return group;
  }

  function groupColour(g) {
    return GROUP_COLOURS[(g - 1) % GROUP_COLOURS.length];
  }

  function escapeXml(text) {
    return String(text).replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;')
      .replace(/"/g, '&quot;');
  }

  // ---- The heatmap, the dendrogram and the group bands -------------------

  function geometry() {
    var cell = Math.max(2, Math.min(36, Math.floor(720 / Math.max(L, 1))));
    var labelled = cell >= 8;
    var font = Math.min(12, cell - 1);
    var longest = 0;
    names.forEach(function (name, k) { longest = Math.max(longest, label(k + 1).length); });
    var labelRoom = labelled ? Math.min(40, longest) * font * 0.62 + 8 : 4;
    var g = { cell: cell, labelled: labelled, font: font };
    g.treeLeft = 4;
    g.finiteLeft = g.treeLeft + 28;  // joins with no compared pair stand left of it
    g.leavesX = g.finiteLeft + 160;
    g.bandX = g.leavesX + 4;
    g.mapX = g.bandX + 12;
    g.mapY = 14;
    g.side = L * cell;
    g.width = g.mapX + g.side + labelRoom + 8;
    g.height = g.mapY + g.side + Math.max(labelRoom, 48) + 8;
    return g;
  }

  // The cells of row r, as [i, j, p, value shown, colour] for each column.
  function rowCells(s, t, r, scale) {
    var i = s.order[r] + 1;
    var cells = [];
    for (var c = 0; c < L; ++c) {
      var j = s.order[c] + 1;
      var p = packed(i, j);
      var value = t.values[p];
      var shown = value === '' || value === '?' || value === '-' ? '' : value;
      cells.push([i, j, p, shown, cellColour(i, j, value, t.common[p], scale)]);
    }
    return cells;
  }

  function drawMap() {
    var s = state();
    var g = geometry();
    var large = L > LARGE_MAP;
    var out = [];
    if (large) {
      // A large map: the colours on a canvas under the picture, the cells a
      // layer of unstyled elements over it (see drawLargeCells).
      out.push('<div class="large-map" style="width:' + g.width + 'px;height:' + g.height + 'px">');
      out.push('<canvas id="map-canvas" style="left:' + g.mapX + 'px;top:' + g.mapY + 'px;width:' +
        g.side + 'px;height:' + g.side + 'px"></canvas>');
    }
    out.push('<svg xmlns="' + SVG + '" width="' + g.width + '" height="' + g.height +
      '" viewBox="0 0 ' + g.width + ' ' + g.height + '" role="group" aria-label="' +
      escapeXml('Heatmap of ' + data.value_label + ' after year ' + yearText(s) +
        ', in the clustering\'s order, with the dendrogram') + '">');
    if (!large) out.push(svgCells(s, g));
    out.push(pictureAround(s, g));
    out.push('</svg>');
    if (large) {
      out.push('<div id="cells" class="cell-layer" style="left:' + g.mapX + 'px;top:' +
        g.mapY + 'px;width:' + g.side + 'px;height:' + g.side + 'px">' + layerCells(s) + '</div>');
      out.push('</div>');
    }
    byId('map').innerHTML = out.join('');
    view.cell = null;
    view.row = null;
    view.geometry = g;
    if (large) paintCanvas(s, g);
  }

  // A small map: every cell a rect of the picture, with its colour, the dot
  // of a pale pair and, up to 20 locations, its value.
  function svgCells(s, g) {
    var t = texts(view.state);
    var out = [];
    out.push('<style>#cells rect{width:' + g.cell + 'px;height:' + g.cell + 'px}</style>');
    out.push('<g id="cells">');
    var dots = [];
    var showValues = L <= 20;
    var valueTexts = [];
    for (var r = 0; r < L; ++r) {
      var y = g.mapY + r * g.cell;
      out.push('<g transform="translate(0 ' + y + ')">');
      rowCells(s, t, r, s.scale).forEach(function (cell, c) {
        var i = cell[0], j = cell[1], p = cell[2], shown = cell[3], colour = cell[4];
        var x = g.mapX + c * g.cell;
        out.push('<rect class="cell" x="' + x + '" fill="' + colour + '" data-i="' + i +
          '" data-j="' + j + '" data-value="' + shown + '"' +
          (r === 0 && c === 0 ? ' tabindex="0"' : '') + '/>');
        if (shown !== '' && i !== j && isPale(p, t.common[p]) && g.cell >= 6) {
          dots.push('<rect x="' + (x + dotInset(g, showValues)) + '" y="' + (y + dotInset(g, showValues)) +
            '" width="' + dotSize(g) + '" height="' + dotSize(g) + '" fill="' + data.colours.marker + '"/>');
        }
        if (showValues && shown !== '') {
          var rgb = parseInt(colour.slice(1), 16);
          var lum = 0.299 * (rgb >> 16) + 0.587 * ((rgb >> 8) & 255) + 0.114 * (rgb & 255);
          valueTexts.push('<text x="' + (x + g.cell / 2) + '" y="' + (y + g.cell / 2 + 4) +
            '" text-anchor="middle" fill="' + (lum < 128 ? '#fff' : '#111') + '">' +
            shortValue(shown) + '</text>');
        }
      });
      out.push('</g>');
    }
    out.push('</g><g pointer-events="none">' + dots.join('') + valueTexts.join('') + '</g>');
    return out.join('');
  }

  // The dot of a pale pair: in the cell's corner where the cell shows its
  // value, else in its centre.
  function dotSize(g) { return Math.max(2, Math.round(g.cell / 6)); }
  function dotInset(g, showValues) { return showValues ? 2 : (g.cell - dotSize(g)) / 2; }

  // A large map's cells: rows of elements that carry the pair and its value
  // but are not drawn (the canvas shows them), built as one string. Only the
  // cell that holds the keyboard focus is laid out (see the style sheet).
  function layerCells(s) {
    var t = texts(view.state);
    var out = [];
    for (var r = 0; r < L; ++r) {
      var i = s.order[r] + 1;
      var row = r === 0 ? '<div class="current">' : '<div>';
      for (var c = 0; c < L; ++c) {
        var j = s.order[c] + 1;
        var value = t.values[packed(i, j)];
        row += '<span class="cell" data-i="' + i + '" data-j="' + j + '" data-value="' +
          (value === '?' || value === '-' ? '' : value) + '"' +
          (r === 0 && c === 0 ? ' tabindex="0" style="' + cellPlace(0, 0) + '"' : '') + '></span>';
      }
      out.push(row + '</div>');
    }
    return out.join('');
  }

  // Where a large map's focusable cell is laid out, over its colour.
  function cellPlace(r, c) {
    var size = geometry().cell;
    return 'left:' + c * size + 'px;top:' + r * size + 'px;width:' + size + 'px;height:' + size + 'px';
  }

  // A large map's colours: one pixel a cell into an image, drawn scaled up
  // without smoothing, then the dots of pale pairs where the cells are big
  // enough to show them.
  function paintCanvas(s, g) {
    var canvas = byId('map-canvas');
    var ratio = Math.max(1, Math.min(4, window.devicePixelRatio || 1));
    canvas.width = Math.round(g.side * ratio);
    canvas.height = Math.round(g.side * ratio);
    var image = document.createElement('canvas');
    image.width = L;
    image.height = L;
    var pixels = image.getContext('2d').createImageData(L, L);
    var bytes = pixels.data;
    var rgbOf = {};
    var t = texts(view.state);
    var dots = [];
    for (var r = 0; r < L; ++r) {
      rowCells(s, t, r, s.scale).forEach(function (cell, c) {
        var colour = cell[4];
        var rgb = rgbOf[colour];
        if (rgb === undefined) rgb = rgbOf[colour] = parseInt(colour.slice(1), 16);
        var at = (r * L + c) * 4;
        bytes[at] = rgb >> 16;
        bytes[at + 1] = (rgb >> 8) & 255;
        bytes[at + 2] = rgb & 255;
        bytes[at + 3] = 255;
        if (cell[3] !== '' && cell[0] !== cell[1] && g.cell >= 6 && isPale(cell[2], t.common[cell[2]])) {
          dots.push([r, c]);
        }
      });
    }
    image.getContext('2d').putImageData(pixels, 0, 0);
    var context = canvas.getContext('2d');
    context.imageSmoothingEnabled = false;
    context.drawImage(image, 0, 0, canvas.width, canvas.height);
    context.fillStyle = data.colours.marker;
    var d = dotSize(g);
    var inset = dotInset(g, false);
    dots.forEach(function (at) {
      context.fillRect((at[1] * g.cell + inset) * ratio, (at[0] * g.cell + inset) * ratio, d * ratio, d * ratio);
    });
  }

  // Everything but the cells: the outline, the group bands and frames, the
  // dendrogram, the names and the focus ring.
  function pictureAround(s, g) {
    var order = s.order;
    var group = cutGroups(s, view.groups);
    var out = [];
    out.push('<rect x="' + g.mapX + '" y="' + g.mapY + '" width="' + g.side + '" height="' + g.side +
      '" fill="none" stroke="#444" pointer-events="none"/>');
    // The groups: a band beside the rows and a frame round each group's block.
    var start = 0;
    for (var rr = 0; rr <= L; ++rr) {
      if (rr === L || group[order[rr]] !== group[order[start]]) {
        var gno = group[order[start]];
        var top = g.mapY + start * g.cell;
        var size = (rr - start) * g.cell;
        out.push('<rect class="group-band" x="' + g.bandX + '" y="' + top + '" width="8" height="' +
          size + '" fill="' + groupColour(gno) + '"><title>group ' + gno + '</title></rect>');
        if (view.groups > 1) {
          out.push('<rect x="' + (g.mapX + start * g.cell) + '" y="' + top + '" width="' + size +
            '" height="' + size + '" fill="none" stroke="' + groupColour(gno) +
            '" stroke-width="2" pointer-events="none"/>');
        }
        start = rr;
      }
    }
    out.push(dendrogram(s, g));
    if (g.labelled) {
      for (var k = 0; k < L; ++k) {
        var name = escapeXml(label(order[k] + 1));
        var centre = g.mapY + (k + 0.5) * g.cell + g.font * 0.35;
        out.push('<text x="' + (g.mapX + g.side + 4) + '" y="' + centre + '" font-size="' + g.font +
          '">' + name + '</text>');
        var cx = g.mapX + (k + 0.5) * g.cell - g.font * 0.35;
        out.push('<text transform="translate(' + cx + ' ' + (g.mapY + g.side + 4) +
          ') rotate(90)" font-size="' + g.font + '">' + name + '</text>');
      }
    }
    out.push('<rect id="focus-ring" class="focus-ring" x="0" y="0" width="0" height="0"/>');
    return out.join('');
  }

  function dendrogram(s, g) {
    var n = L;
    var x = [];
    var y = [];
    for (var r = 0; r < n; ++r) {
      y[s.order[r]] = g.mapY + (r + 0.5) * g.cell;
      x[s.order[r]] = g.leavesX;
    }
    var top = 0;
    s.merges.forEach(function (m) { if (m[2] !== null) top = Math.max(top, Number(m[2])); });
    if (!(top > 0)) top = 1;
    function xOf(h) {
      return g.leavesX - Math.min(Math.max(h, 0), top) / top * (g.leavesX - g.finiteLeft);
    }
    var joined = [];
    var unjoined = [];
    s.merges.forEach(function (m, k) {
      var node = n + k;
      x[node] = m[2] === null ? g.treeLeft : xOf(Number(m[2]));
      y[node] = (y[m[0]] + y[m[1]]) / 2;
      (m[2] === null ? unjoined : joined).push('M' + x[m[0]] + ' ' + y[m[0]] + 'H' + x[node] +
        'V' + y[m[1]] + 'H' + x[m[1]]);
    });
    var out = '';
    var stroke = g.cell >= 4 ? 1 : 0.6;
    if (joined.length) {
      out += '<path d="' + joined.join('') + '" fill="none" stroke="#222" stroke-width="' + stroke + '"/>';
    }
    if (unjoined.length) {
      out += '<path d="' + unjoined.join('') + '" fill="none" stroke="#888" stroke-width="' + stroke +
        '" stroke-dasharray="3 2"/>';
      out += '<text x="' + g.treeLeft + '" y="' + (g.mapY - 4) +
        '" font-size="9" fill="#666">dashed: joined with no compared pair</text>';
    }
    var axisY = g.mapY + g.side + 8;
    out += '<path d="M' + g.finiteLeft + ' ' + axisY + 'H' + g.leavesX + 'M' + g.finiteLeft + ' ' +
      axisY + 'v4M' + g.leavesX + ' ' + axisY + 'v4" stroke="#222" fill="none"/>';
    out += '<text x="' + g.leavesX + '" y="' + (axisY + 15) + '" font-size="10" text-anchor="middle">0</text>';
    out += '<text x="' + g.finiteLeft + '" y="' + (axisY + 15) +
      '" font-size="10" text-anchor="middle">' + escapeXml(Number(top.toPrecision(3))) + '</text>';
    out += '<text x="' + (g.finiteLeft + g.leavesX) / 2 + '" y="' + (axisY + 28) +
      '" font-size="10" text-anchor="middle">' + escapeXml('average linkage on ' +
      (data.distance ? 'the distance' : '1 - r')) + '</text>';
    return out;
  }

  // The colour scale with its ends and middle, and the colours off the scale.
  function drawScale() {
    var s = state();
    var width = 300;
    var out = ['<svg xmlns="' + SVG + '" width="' + (width + 240) + '" height="86" role="img" aria-label="' +
      escapeXml('Colour scale of ' + data.value_label + ' from ' + s.scale[0] + ' to ' + s.scale[1]) + '">'];
    out.push('<text x="0" y="12" font-size="12">' + escapeXml(data.value_label) + '</text>');
    for (var k = 0; k < LEVELS; ++k) {
      out.push('<rect x="' + (k * width / LEVELS) + '" y="18" width="' + (width / LEVELS + 0.5) +
        '" height="14" fill="' + data.colours.steps[k] + '"/>');
    }
    out.push('<rect x="0" y="18" width="' + width + '" height="14" fill="none" stroke="#444"/>');
    [0, 0.5, 1].forEach(function (f) {
      var v = s.scale[0] + f * (s.scale[1] - s.scale[0]);
      out.push('<text x="' + f * width + '" y="46" font-size="11" text-anchor="' +
        (f === 0 ? 'start' : f === 1 ? 'end' : 'middle') + '">' + escapeXml(Number(v.toPrecision(3))) + '</text>');
    });
    var keys = [[data.colours.never_compared, 'never compared', false],
      [data.colours.steps[LEVELS + 50], s.pale_rule ||
        'fewer than ' + data.min_common + ' entries in common', true]];
    if (!data.distance) keys.push([data.colours.diagonal, 'a location with itself (r = 1)', false]);
    if (s.counts.unknown > 0) keys.push([data.colours.unknown, 'count too wide: no average', false]);
    keys.forEach(function (key, n) {
      var kx = width + 20;
      var ky = 4 + n * 20;
      out.push('<rect x="' + kx + '" y="' + ky + '" width="12" height="12" fill="' + key[0] + '" stroke="#444"/>');
      if (key[2]) {
        out.push('<rect x="' + (kx + 4.5) + '" y="' + (ky + 4.5) + '" width="3" height="3" fill="' +
          data.colours.marker + '"/>');
      }
      out.push('<text x="' + (kx + 18) + '" y="' + (ky + 10) + '" font-size="11">' + escapeXml(key[1]) + '</text>');
    });
    out.push('</svg>');
    byId('scale').innerHTML = out.join('');
  }

  // ---- The pair's details ----------------------------------------------

  // A trust figure of pair p in state s, '' where the summary gave none.
  function trustText(s, key, p) {
    var figures = texts(data.states.indexOf(s))[key];
    return figures && figures[p] !== undefined ? figures[p] : '';
  }

  function showPair(i, j) {
    var s = state();
    var t = texts(view.state);
    var p = packed(i, j);
    var value = t.values[p];
    var rows = [['Locations', label(i) + ' and ' + label(j)]];
    var averageText = value === '' ? 'never compared' : value === '?' ?
      'no average (a count too wide for its field)' : value === '-' ? 'none for this measure' : value;
    rows.push([data.value_label.charAt(0).toUpperCase() + data.value_label.slice(1), averageText]);
    var low = trustText(s, 'ci_low', p);
    var high = trustText(s, 'ci_high', p);
    if (low !== '' || high !== '') rows.push(['Interval', low + ' to ' + high]);
    rows.push(['Entries in common', t.common[p] === '' ? 'unknown' : t.common[p] +
      (isThin(t.common[p]) && value !== '' && i !== j ? ' (fewer than ' + data.min_common + ')' : '')]);
    rows.push(['Years compared', t.years[p] === '' ? 'unknown' : t.years[p]]);
    var q = trustText(s, 'heterogeneity_q', p);
    if (q !== '') {
      rows.push(['Heterogeneity', 'Q = ' + q + ', df = ' + trustText(s, 'heterogeneity_df', p) +
        ', p = ' + trustText(s, 'heterogeneity_p', p)]);
    }
    var spread = trustText(s, 'sd_years', p);
    if (spread !== '') rows.push(['Spread over the years', spread]);
    var together = trustText(s, 'together', p);
    if (together !== '' && data.stability) {
      rows.push(['Leave-one-year-out', 'in one group in ' + together + ' of ' + data.stability.runs +
        ' runs (' + data.stability.groups + ' groups, each run without one year)']);
    }
    rows.push(['State', 'after year ' + yearText(s)]);
    var list = document.createElement('dl');
    rows.forEach(function (row) {
      var dt = document.createElement('dt');
      dt.textContent = row[0];
      var dd = document.createElement('dd');
      dd.textContent = row[1];
      list.appendChild(dt);
      list.appendChild(dd);
    });
    var box = byId('pair-details');
    box.textContent = '';
    box.appendChild(list);
  }

  function cellAt(r, c) {
    var row = byId('cells').children[r];
    return row ? row.children[c] : null;
  }

  // The row and column of a cell in the drawing order.
  function placeOf(cell) {
    var s = state();
    if (!view.position || view.position.order !== s.order) {
      var position = [];
      s.order.forEach(function (location, k) { position[location + 1] = k; });
      view.position = { order: s.order, of: position };
    }
    return [view.position.of[Number(cell.getAttribute('data-i'))],
      view.position.of[Number(cell.getAttribute('data-j'))]];
  }

  function focusCell(r, c, moveFocus) {
    var cell = cellAt(r, c);
    if (!cell) return;
    if (view.cell && view.cell !== cell) view.cell.removeAttribute('tabindex');
    var first = cellAt(0, 0);
    if (first !== cell) first.setAttribute('tabindex', '-1');
    cell.setAttribute('tabindex', '0');
    if (L > LARGE_MAP) {
      // Only the focused cell of a large map is laid out, in its row.
      var row = cell.parentNode;
      byId('cells').querySelectorAll('.current').forEach(function (other) {
        if (other !== row) other.classList.remove('current');
      });
      row.classList.add('current');
      cell.setAttribute('style', cellPlace(r, c));
    }
    view.cell = cell;
    var i = Number(cell.getAttribute('data-i'));
    var j = Number(cell.getAttribute('data-j'));
    var value = cell.getAttribute('data-value');
    cell.setAttribute('aria-label', label(i) + ' and ' + label(j) + ': ' + (value === '' ? 'no average' : value));
    var ring = byId('focus-ring');
    var g = view.geometry;
    ring.setAttribute('x', String(g.mapX + c * g.cell));
    ring.setAttribute('y', String(g.mapY + r * g.cell));
    ring.setAttribute('width', String(g.cell));
    ring.setAttribute('height', String(g.cell));
    if (moveFocus) cell.focus();
    showPair(i, j);
  }

  // The row and column under the pointer on a large map's layer, or null.
  function layerPlace(event) {
    var box = byId('cells').getBoundingClientRect();
    var size = view.geometry.cell;
    var r = Math.floor((event.clientY - box.top) / size);
    var c = Math.floor((event.clientX - box.left) / size);
    return r >= 0 && r < L && c >= 0 && c < L ? [r, c] : null;
  }

  function wireMap() {
    var map = byId('map');
    map.addEventListener('mouseover', function (event) {
      var cell = event.target;
      if (cell.classList && cell.classList.contains('cell')) {
        showPair(Number(cell.getAttribute('data-i')), Number(cell.getAttribute('data-j')));
      }
    });
    map.addEventListener('focusin', function (event) {
      var cell = event.target;
      if (cell.classList && cell.classList.contains('cell') && cell !== view.cell) {
        var place = placeOf(cell);
        focusCell(place[0], place[1], false);
      } else if (cell === view.cell) {
        showPair(Number(cell.getAttribute('data-i')), Number(cell.getAttribute('data-j')));
      }
    });
    map.addEventListener('click', function (event) {
      var cell = event.target;
      if (cell.classList && cell.classList.contains('cell')) {
        var at = placeOf(cell);
        focusCell(at[0], at[1], true);
      } else if (cell.id === 'cells') {
        var place = layerPlace(event);
        if (place) focusCell(place[0], place[1], true);
      }
    });
    // A large map's cells are not drawn: the pointer's place over the layer
    // says which cell it is on.
    map.addEventListener('mousemove', function (event) {
      var layer = byId('cells');
      if (L <= LARGE_MAP || !layer || !layer.contains(event.target)) return;
      var place = layerPlace(event);
      if (!place || (view.hover && view.hover[0] === place[0] && view.hover[1] === place[1])) return;
      view.hover = place;
      var cell = cellAt(place[0], place[1]);
      showPair(Number(cell.getAttribute('data-i')), Number(cell.getAttribute('data-j')));
    });
    map.addEventListener('keydown', function (event) {
      var cell = view.cell || document.activeElement;
      if (!cell || !cell.classList || !cell.classList.contains('cell')) return;
      var here = placeOf(cell);
      var r = here[0];
      var c = here[1];
      var moves = {
        ArrowUp: [r - 1, c], ArrowDown: [r + 1, c], ArrowLeft: [r, c - 1], ArrowRight: [r, c + 1],
        Home: [r, 0], End: [r, L - 1], PageUp: [0, c], PageDown: [L - 1, c]
      };
      var to = moves[event.key];
      if (!to) return;
      event.preventDefault();
      focusCell(Math.min(L - 1, Math.max(0, to[0])), Math.min(L - 1, Math.max(0, to[1])), true);
    });
  }

  // ---- The groups --------------------------------------------------------

  function drawGroups() {
    var s = state();
    var group = cutGroups(s, view.groups);
    var members = [];
    for (var g = 0; g < view.groups; ++g) members.push([]);
    s.order.forEach(function (location) { members[group[location] - 1].push(location + 1); });
    byId('groups-heading').textContent = view.groups + ' group' + (view.groups === 1 ? '' : 's') +
      ' (average linkage on ' + data.distance_label + ', after year ' + yearText(s) + ')';
    var list = byId('groups');
    list.textContent = '';
    var stable = stabilityShown();
    members.forEach(function (locations, k) {
      var item = document.createElement('li');
      item.setAttribute('data-group', String(k + 1));
      var swatch = document.createElement('span');
      swatch.className = 'swatch';
      swatch.style.background = groupColour(k + 1);
      item.appendChild(swatch);
      item.appendChild(document.createTextNode('group ' + (k + 1) + ' (' + locations.length + '): '));
      locations.forEach(function (location, n) {
        if (n > 0) item.appendChild(document.createTextNode(', '));
        var member = document.createElement('span');
        member.className = 'member';
        member.setAttribute('data-location', String(location));
        member.textContent = label(location);
        item.appendChild(member);
      });
      if (stable) {
        // How often the group stayed whole, and who left it in some runs.
        var note = document.createElement('span');
        note.className = 'stability';
        var runs = ' of ' + stable.runs;
        var moved = locations.filter(function (location) {
          return stable.stayed_home[location - 1] !== stable.runs;
        }).map(function (location) {
          return label(location) + ' in ' + stable.stayed_home[location - 1] + runs;
        });
        // The summary numbers its groups as the page does; its own number is
        // taken from a member all the same.
        var whole = stable.stayed_whole[stable.full_group[locations[0] - 1] - 1];
        note.textContent = 'stayed whole in ' + whole + runs + ' runs' +
          (moved.length ? '; in the group: ' + moved.join(', ') : '');
        item.appendChild(note);
      }
      list.appendChild(item);
    });
    drawStabilityNote(stable);
  }

  // The leave-one-year-out figures belong to the state summarised cut into
  // the summary's number of groups: null for any other state or number.
  function stabilityShown() {
    var stable = data.stability;
    if (!stable || stable.runs === 0 || view.state !== data.states.length - 1 ||
        view.groups !== stable.groups) {
      return null;
    }
    return stable;
  }

  function drawStabilityNote(stable) {
    var box = byId('stability-note');
    var all = data.stability;
    if (!all) {
      box.textContent = '';
      return;
    }
    var last = data.states[data.states.length - 1];
    var text;
    if (all.runs === 0) {
      text = 'Leave-one-year-out: needs two or more years compared; ' + all.years_compared + ' here.';
    } else if (!stable) {
      text = 'Leave-one-year-out: the figures are for ' + all.groups + ' groups after year ' +
        yearText(last) + ' (the year summarised); choose those to see them.';
    } else {
      text = 'Leave-one-year-out: ' + all.runs + ' runs, each without one of the years compared, ' +
        'clustered as all years are and cut into ' + all.groups + ' groups; beside each group, in how many ' +
        'runs it stayed whole and the members that were not always in it. ' +
        (all.most_changing ? 'The year whose removal changes the groups most: ' +
          yearText(all.most_changing) + ' (adjusted Rand index ' + all.most_changing.adjusted_rand +
          ' against all years).' : 'No single year\u2019s removal changes the groups.');
    }
    box.textContent = text;
  }

  // ---- The table of pairs -----------------------------------------------

  var COLUMNS = [
    { key: 'i', title: 'location i', number: true },
    { key: 'name_i', title: 'name i' },
    { key: 'j', title: 'location j', number: true },
    { key: 'name_j', title: 'name j' },
    { key: 'average', title: 'average', number: true },
    { key: 'common', title: 'entries in common', number: true },
    { key: 'years', title: 'years compared', number: true }
  ];

  function tableColumns() {
    var s = state();
    var columns = COLUMNS.slice();
    if (s.ci_low) columns.push({ key: 'ci_low', title: 'interval low', number: true });
    if (s.ci_high) columns.push({ key: 'ci_high', title: 'interval high', number: true });
    if (s.heterogeneity_p) columns.push({ key: 'heterogeneity_p', title: 'heterogeneity p', number: true });
    if (s.together && data.stability) {
      columns.push({ key: 'together', title: 'in one group, of ' + data.stability.runs +
        ' runs leaving one year out', number: true });
    }
    return columns;
  }

  // The rows of pairs.csv: i <= j in reading order, the diagonal only where
  // the measure fills it.
  var rowsOfState = {};

  function pairRows() {
    if (rowsOfState[view.state]) return rowsOfState[view.state];
    var s = state();
    var t = texts(view.state);
    var rows = [];
    for (var i = 1; i <= L; ++i) {
      for (var j = i; j <= L; ++j) {
        if (i === j && data.distance) continue;
        var p = packed(i, j);
        var value = t.values[p];
        rows.push({
          i: i, name_i: names[i - 1], j: j, name_j: names[j - 1],
          average: value === '?' || value === '-' ? '' : value,
          common: t.common[p], years: t.years[p],
          ci_low: trustText(s, 'ci_low', p), ci_high: trustText(s, 'ci_high', p),
          heterogeneity_p: trustText(s, 'heterogeneity_p', p),
          together: trustText(s, 'together', p)
        });
      }
    }
    rowsOfState[view.state] = rows;
    return rows;
  }

  function compareRows(key, number, descending) {
    return function (a, b) {
      var x = a[key];
      var y = b[key];
      if (x === '' || y === '') {
        if (x === y) return 0;
        return x === '' ? 1 : -1;  // empty fields last, either way
      }
      var d = number ? Number(x) - Number(y) : String(x).localeCompare(String(y));
      return descending ? -d : d;
    };
  }

  function drawTable() {
    var columns = tableColumns();
    var head = byId('pairs-table').tHead;
    head.textContent = '';
    var headRow = head.insertRow();
    columns.forEach(function (column) {
      var th = document.createElement('th');
      th.scope = 'col';
      if (sort.key === column.key) th.setAttribute('aria-sort', sort.descending ? 'descending' : 'ascending');
      var button = document.createElement('button');
      button.type = 'button';
      button.textContent = column.title;
      button.addEventListener('click', function () {
        sort.descending = sort.key === column.key ? !sort.descending : false;
        sort.key = column.key;
        drawTable();
      });
      th.appendChild(button);
      headRow.appendChild(th);
    });
    var filter = byId('pairs-filter').value.trim().toLowerCase();
    var rows = !filter ? pairRows().slice() : pairRows().filter(function (row) {
      return String(row.i) === filter || String(row.j) === filter ||
        row.name_i.toLowerCase().indexOf(filter) >= 0 || row.name_j.toLowerCase().indexOf(filter) >= 0;
    });
    if (sort.key) {
      var column = columns.filter(function (c) { return c.key === sort.key; })[0] || COLUMNS[0];
      rows.sort(compareRows(sort.key, column.number, sort.descending));
    }
    var body = byId('pairs-table').tBodies[0];
    var fragment = document.createDocumentFragment();
    rows.slice(0, TABLE_ROWS).forEach(function (row) {
      var tr = document.createElement('tr');
      columns.forEach(function (column) {
        var td = document.createElement('td');
        if (column.number) td.className = 'number';
        td.textContent = row[column.key];
        tr.appendChild(td);
      });
      fragment.appendChild(tr);
    });
    body.textContent = '';
    body.appendChild(fragment);
    byId('pairs-note').textContent = rows.length > TABLE_ROWS ? 'The first ' + TABLE_ROWS + ' of ' +
      rows.length + ' pairs; filter or sort to see others, or open the pairs CSV file.' :
      rows.length + ' pair' + (rows.length === 1 ? '' : 's') + '.';
  }

  // ---- The whole page ----------------------------------------------------

  function drawState() {
    var s = state();
    byId('year-input').value = String(view.state);
    byId('year-label').textContent = 'year ' + yearText(s) +
      (view.state === data.states.length - 1 ? ' (the year summarised)' : '');
    byId('groups-input').value = String(view.groups);
    var counts = s.counts;
    byId('state-counts').textContent = L + ' locations, ' + counts.pairs + ' pairs: ' +
      counts.compared + ' compared, ' + counts.never_compared + ' never compared, ' +
      counts.few_common + ' on fewer than ' + data.min_common + ' entries in common' +
      (counts.unknown ? ', ' + counts.unknown + ' with a count too wide for its field' : '') + '.';
    drawMap();
    drawScale();
    drawGroups();
    drawTable();
    // The panel starts with the two locations drawn first, so that a reader
    // sees what it offers.
    if (L >= 2) showPair(s.order[0] + 1, s.order[1] + 1);
  }

  // #year=N and #groups=K, alone or together (#year=3&groups=2).
  function readAddress() {
    var note = '';
    byId('years-note').textContent = yearsNote();
    location.hash.replace(/^#/, '').split('&').forEach(function (part) {
      var pair = part.split('=');
      var key = decodeURIComponent(pair[0] || '');
      var number = Number(decodeURIComponent(pair[1] || ''));
      if (key === 'year' && Number.isInteger(number)) {
        var found = -1;
        data.states.forEach(function (s, k) { if (s.year === number) found = k; });
        if (found >= 0) view.state = found;
        else note = 'Year ' + number + ' is not held in this page; it shows the state after year ' +
          yearText(state()) + '.';
      } else if (key === 'groups' && Number.isInteger(number)) {
        view.groups = Math.min(Math.max(number, 1), L);
        if (number !== view.groups) note = 'There are ' + L + ' locations: ' + view.groups + ' groups are shown.';
      }
    });
    if (note) byId('years-note').textContent = (yearsNote() + ' ' + note).trim();
    drawState();
  }

  function writeAddress() {
    var hash = '#year=' + state().year + '&groups=' + view.groups;
    try {
      history.replaceState(null, '', hash);
    } catch (refused) {
      // A browser that keeps file: pages from rewriting their address: the
      // page works all the same, only the address does not follow.
    }
  }

  function yearsNote() {
    var left = data.years_left_out;
    if (!left.length) return '';
    return 'To keep the page small (at most ' + data.budget + ' pairs \u00d7 years), the states after ' +
      left.length + ' earlier year' + (left.length === 1 ? '' : 's') + ' (' + left[0].year + ' to ' +
      left[left.length - 1].year + ') are left out; the CSV files and locprox-summary --year give them.';
  }

  function start() {
    document.title = data.title + ' \u2013 locprox report';
    byId('title').textContent = data.title;
    byId('measure').textContent = 'Measure: ' + data.measure + '.';
    byId('weighting').textContent = 'Weighting: ' + data.weighting + '.';
    var yearInput = byId('year-input');
    yearInput.max = String(data.states.length - 1);
    yearInput.disabled = data.states.length < 2;
    yearInput.addEventListener('input', function () {
      view.state = Number(yearInput.value);
      drawState();
      writeAddress();
    });
    var groupsInput = byId('groups-input');
    groupsInput.max = String(L);
    groupsInput.addEventListener('change', function () {
      var k = Number(groupsInput.value);
      if (!Number.isInteger(k)) return;
      view.groups = Math.min(Math.max(k, 1), L);
      drawState();
      writeAddress();
    });
    byId('pairs-filter').addEventListener('input', drawTable);
    var files = byId('files');
    data.files.forEach(function (name) {
      var item = document.createElement('li');
      var link = document.createElement('a');
      link.href = encodeURIComponent(name);
      link.textContent = name;
      item.appendChild(link);
      files.appendChild(item);
    });
    wireMap();
    window.addEventListener('hashchange', readAddress);
    readAddress();
  }

  if (L === 0 || !data.states.length) {
    byId('title').textContent = data.title;
    byId('years-note').textContent = 'There is nothing to show: the run has no locations.';
    return;
  }
  start();
})();
