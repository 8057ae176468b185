// The map page: the editor's POIs as draggable markers on a Leaflet map. The editor drives it with
// PutGoogleMaps and reads its messages with GetGoogleMaps (or is told through the web channel that
// one is waiting). The editor writes the e_* options and LoadMarker after this script.
//
// A POI's texts are only ever put into the page as text nodes or attribute values: they never pass
// through an HTML or script parser.

var kProgramTitle = "Quillfern for TomTom";
var kTerminate = "Terminate Google Maps";
var kViewKey = "QuillfernMapView";
var kSearchRadius = 1000;   // metres around a marker that "Search nearby" lists
var kSearchDegrees = 0.01;  // more latitude than the search radius spans
var kNearbyShown = 20;
var kTileSize = 256;        // pixels of the whole world at zoom 0
var kCellSize = 64;         // pixels of a cell whose POIs show as one cluster
var kCellMargin = 2;        // cells drawn beyond each edge of the view
var kCellKeyStride = 16777216;  // more than the cell columns of the world and its copies at any zoom
var kSpreadStep = 24;       // pixels between markers spread around a place
var kGoldenAngle = 2.399963;
var kLinkNames = {
	OnAdd: "Add", OnInsert: "Insert", OnRemove: "Remove", OnUpdate: "Update", OnUndo: "Undo",
	OnDelete: "Delete", OnSearch: "Search nearby", OnClose: "Close"
};

var host = null;            // the editor's object on the web channel, once connected
var g_messages = [];        // messages for the editor, oldest first

// The POIs, one column per field. A marker's index is its place in every column (place 0 is
// unused); a removed POI's name is null.
var g_names = [null];
var g_tels = [null];
var g_memos = [null];
var g_lats = new Float64Array(1024);
var g_lngs = new Float64Array(1024);
var g_markers = new Map();  // index → the POI's marker, for the POIs that have one on the map

var g_map = null;
var g_clusters = null;      // the cluster icons of the view
var g_scale = null;
var g_popup = null;
var g_popupIndex = 0;       // the marker whose info window is open, 0 for none
var g_popupNearby = false;  // whether that window lists the markers nearby
var g_draggedIndex = 0;     // the marker being dragged, 0 for none
var g_menu = null;
var g_redrawTimer = 0;
var g_viewDrawn = false;    // the first view after loading has been drawn
var g_icons = null;

// ---- The contract with the editor ----

// Called once per POI from LoadMarker, up to a million times: only records, the view draws.
function AddMarker(szName, iLat, iLng, szTel, szMemo)
{
	var index = g_names.length;
	if (index === g_lats.length)
		growCoordinates();
	g_names.push(String(szName));
	g_tels.push(String(szTel));
	g_memos.push(String(szMemo));
	g_lats[index] = Number(iLat);
	g_lngs[index] = Number(iLng);
	return index;
}

function growCoordinates()
{
	var lats = new Float64Array(g_lats.length * 2), lngs = new Float64Array(g_lngs.length * 2);
	lats.set(g_lats);
	lngs.set(g_lngs);
	g_lats = lats;
	g_lngs = lngs;
}

function OnLoad()
{
	try {
		if (typeof L === "undefined")
			throw new Error("the map library (Leaflet) could not be loaded.");
		createMap();
		LoadMarker(null);
		showStartView();
		drawView();
		g_map.on("moveend", drawView);
		connectHost();
	} catch (error) {
		alert("The map could not be shown: " + (error && error.message ? error.message : error));
		queueMessage(kTerminate);
		return;
	}
	queueMessage(kProgramTitle);
	requestAnimationFrame(function () { g_viewDrawn = true; });
}

function GUnload()
{
	rememberView();
}

function GetGoogleMaps()
{
	return g_messages.length ? g_messages.shift() : "";
}

function PutGoogleMaps(iPutCmd, szName, szLng, szLat, szTel, szMemo)
{
	var command = Number(iPutCmd);
	if (command >= 17)
		return sendNextUpdate(command - 17);
	switch (command) {
	case 0: showPoi(text(szName), text(szLng), text(szLat), text(szTel), text(szMemo)); break;
	case 1: removeNamedPoi(text(szName), text(szLng), text(szLat), text(szTel), text(szMemo)); break;
	case 3: case 4: e_bLngFirst = command === 3; refreshInfoWindow(); break;
	case 5: case 6: e_bDmsFormat = command === 5; refreshInfoWindow(); break;
	case 7: case 8: e_bCompassDir = command === 7; refreshInfoWindow(); break;
	case 9: case 10: e_bMetricUnit = command === 9; showScale(); refreshInfoWindow(); break;
	case 11: case 12: setUseCookie(command === 11); break;
	case 13: case 14: e_bUpdateMemo = command === 13; break;
	case 15: case 16: e_bFlashRoute = command === 15; break;
	}
	return 0;
}

function queueMessage(message)
{
	g_messages.push(message);
	if (host)
		host.messageWaiting();
}

function connectHost()
{
	if (typeof qt === "undefined" || typeof QWebChannel === "undefined")
		return;
	new QWebChannel(qt.webChannelTransport, function (channel) {
		host = channel.objects.host || null;
		if (host && g_messages.length)
			host.messageWaiting();
	});
}

// ---- The map ----

function createMap()
{
	g_icons = {
		normal: markerIcon("Red.svg"),
		moved: markerIcon("Yellow.svg")
	};
	g_map = L.map("Map", { maxZoom: 19, worldCopyJump: true });
	L.tileLayer(e_szTileUrl, { attribution: e_szTileAttribution, maxZoom: 19, lang: e_szMapLang }).addTo(g_map);
	g_clusters = L.layerGroup().addTo(g_map);
	showScale();
	g_popup = L.popup({ offset: [0, -34], minWidth: 200, maxWidth: 360 });
	g_map.on("popupclose", function () { g_popupIndex = 0; redrawSoon(); });
	g_map.on("contextmenu", showMapMenu);
	g_map.on("click movestart", hideMapMenu);
	g_map.on("moveend", rememberView);
}

function markerIcon(file)
{
	return L.icon({ iconUrl: e_szMarkerImgUrl + file, iconSize: [25, 41], iconAnchor: [12, 40] });
}

function showScale()
{
	if (g_scale)
		g_scale.remove();
	g_scale = L.control.scale({ metric: e_bMetricUnit, imperial: !e_bMetricUnit }).addTo(g_map);
}

// The remembered view when the cookie option is on, otherwise every marker in sight.
function showStartView()
{
	if (restoreView())
		return;
	var bounds = boundsOfPois();
	if (!bounds)
		g_map.setView([20, 0], 2);
	else
		g_map.fitBounds(bounds, { padding: [40, 40], maxZoom: 16 });
}

function boundsOfPois()
{
	var south = 90, west = 180, north = -90, east = -180, found = false;
	for (var i = 1; i < g_names.length; i++) {
		if (g_names[i] === null)
			continue;
		south = Math.min(south, g_lats[i]); north = Math.max(north, g_lats[i]);
		west = Math.min(west, g_lngs[i]); east = Math.max(east, g_lngs[i]);
		found = true;
	}
	return found ? L.latLngBounds([south, west], [north, east]) : null;
}

// ---- Drawing the view ----
// Only what is in view (plus a margin) is drawn. The view is cut into square cells of the world's
// pixels: a POI alone in its cell shows as its own marker, several as one cluster icon; at the
// highest zoom a cell's POIs show as markers spread around its centre. Pinned markers (moved,
// dragged, or with the info window open) stay where they are and count in no cell.

function drawView()
{
	clearTimeout(g_redrawTimer);
	g_redrawTimer = 0;
	var pinned = pinnedPois();
	var places = new Map();  // index → where its marker goes
	g_clusters.clearLayers();
	binPois(pinned).forEach(function (cell) {
		if (cell.count === 1)
			places.set(cell.first, poiLatLng(cell.first));
		else if (cell.members)
			spreadAround(cell, places);
		else
			g_clusters.addLayer(clusterIcon(cell));
	});
	g_markers.forEach(function (marker, index) {
		if (!places.has(index) && !pinned.has(index))
			dropMarker(index);
	});
	places.forEach(function (latlng, index) { placeMarker(index, latlng); });
	pinned.forEach(function (index) { placeMarker(index, null); });
}

// Many changes in a row (the editor removing a thousand POIs) draw the view once.
function redrawSoon()
{
	if (!g_redrawTimer)
		g_redrawTimer = setTimeout(drawView, 0);
}

function pinnedPois()
{
	var pinned = new Set();
	g_markers.forEach(function (marker, index) {
		if (marker.qfChanged)
			pinned.add(index);
	});
	for (var index of [g_popupIndex, g_draggedIndex]) {
		if (index && g_names[index] !== null)
			pinned.add(index);
	}
	return pinned;
}

// The cells of the view with the POIs in them. Each POI counts once, in the copy of the world
// nearest the view's centre.
function binPois(pinned)
{
	var zoom = g_map.getZoom();
	var world = kTileSize * Math.pow(2, zoom);
	var area = cellAlignedView();
	var centreLng = g_map.getCenter().lng;
	var spread = zoom >= g_map.getMaxZoom();
	var cells = new Map();
	for (var i = 1; i < g_names.length; i++) {
		if (g_names[i] === null || (pinned.size && pinned.has(i)))
			continue;
		var x = world * mercatorX(nearestCopy(g_lngs[i], centreLng));
		if (x < area.min.x || x >= area.max.x)
			continue;
		var y = world * mercatorY(g_lats[i]);
		if (y < area.min.y || y >= area.max.y)
			continue;
		addToCell(cells, i, x, y, spread);
	}
	return cells;
}

// The view's pixels widened by the margin to whole cells, so no cell is counted in part.
function cellAlignedView()
{
	var view = g_map.getPixelBounds(), margin = kCellMargin * kCellSize;
	var edge = function (value, round) { return round(value / kCellSize) * kCellSize; };
	return L.bounds([edge(view.min.x - margin, Math.floor), edge(view.min.y - margin, Math.floor)],
		[edge(view.max.x + margin, Math.ceil), edge(view.max.y + margin, Math.ceil)]);
}

function addToCell(cells, index, x, y, spread)
{
	var key = Math.floor(y / kCellSize) * kCellKeyStride + Math.floor(x / kCellSize);
	var cell = cells.get(key);
	if (!cell) {
		cell = { count: 0, first: index, members: spread ? [] : null, left: x, right: x, top: y, bottom: y, sumX: 0, sumY: 0 };
		cells.set(key, cell);
	}
	cell.count++;
	cell.left = Math.min(cell.left, x); cell.right = Math.max(cell.right, x);
	cell.top = Math.min(cell.top, y); cell.bottom = Math.max(cell.bottom, y);
	cell.sumX += x; cell.sumY += y;
	if (cell.members)
		cell.members.push(index);
}

// One icon with the count; a click zooms in to the cell's POIs.
function clusterIcon(cell)
{
	var zoom = g_map.getZoom();
	var label = element("div");
	label.appendChild(element("span", "", String(cell.count)));
	var size = cell.count < 10 ? "Small" : cell.count < 100 ? "Medium" : "Large";
	var icon = L.divIcon({ html: label, className: "Cluster " + size, iconSize: [40, 40] });
	var centre = g_map.unproject([cell.sumX / cell.count, cell.sumY / cell.count], zoom);
	var bounds = L.latLngBounds(g_map.unproject([cell.left, cell.top], zoom), g_map.unproject([cell.right, cell.bottom], zoom));
	var cluster = L.marker(centre, { icon: icon, keyboard: false, title: cell.count + " POIs" });
	cluster.on("click", function () { zoomInto(bounds); });
	return cluster;
}

// At least one zoom level further, so the cluster always splits.
function zoomInto(bounds)
{
	var zoom = Math.max(g_map.getBoundsZoom(bounds, false, L.point(80, 80)), g_map.getZoom() + 1);
	g_map.setView(bounds.getCenter(), Math.min(zoom, g_map.getMaxZoom()));
}

// At the highest zoom no cell clusters: its POIs go around its centre on a sunflower's pattern,
// so even POIs at the very same place can each be clicked and dragged.
function spreadAround(cell, places)
{
	var zoom = g_map.getZoom();
	var x = cell.sumX / cell.count, y = cell.sumY / cell.count;
	for (var k = 0; k < cell.members.length; k++) {
		var radius = kSpreadStep * Math.sqrt(k + 1), angle = k * kGoldenAngle;
		places.set(cell.members[k], g_map.unproject([x + radius * Math.cos(angle), y + radius * Math.sin(angle)], zoom));
	}
}

// The zoom, from the current one up, at which no other POI shares the POI's cell. Cells nest
// (each splits in four at the next zoom), so a POI that leaves the cell never comes back to it.
function standAloneZoom(index)
{
	var zoom = g_map.getZoom(), maxZoom = g_map.getMaxZoom(), pinned = pinnedPois();
	var x = mercatorX(g_lngs[index]), y = mercatorY(g_lats[index]);
	for (var i = 1; i < g_names.length && zoom < maxZoom; i++) {
		if (i === index || g_names[i] === null || pinned.has(i))
			continue;
		var otherX = mercatorX(nearestCopy(g_lngs[i], g_lngs[index]));
		while (zoom < maxZoom && sameCell(x, otherX, zoom) && sameCell(y, mercatorY(g_lats[i]), zoom))
			zoom++;
	}
	return zoom;
}

function sameCell(a, b, zoom)
{
	var cells = kTileSize * Math.pow(2, zoom) / kCellSize;
	return Math.floor(a * cells) === Math.floor(b * cells);
}

// The map's projection, as a share of the world's width and height from its top left corner.
function mercatorX(lng)
{
	return 0.5 + lng / 360;
}

function mercatorY(lat)
{
	var sine = Math.sin(Math.max(Math.min(lat, 85.0511287798), -85.0511287798) * Math.PI / 180);
	return 0.5 - Math.log((1 + sine) / (1 - sine)) / (4 * Math.PI);
}

function nearestCopy(lng, centreLng)
{
	return lng + 360 * Math.round((centreLng - lng) / 360);
}

// ---- Markers ----

var kMarkerEvents = {
	click: function (e) { onMarkerClick(e.target.qfIndex); },
	dragstart: function (e) {
		g_draggedIndex = e.target.qfIndex;
		if (g_popupIndex === g_draggedIndex)
			closeInfoWindow();
	},
	dragend: function (e) {
		g_draggedIndex = 0;
		onMarkerMoved(e.target.qfIndex);
	}
};

// The marker a POI has on the map, or null.
function markerOf(index)
{
	return g_markers.get(Number(index)) || null;
}

// Puts the POI's marker on the map, made now if it has none, at the place given (null: where it is).
// A moved marker stays where it was dropped.
function placeMarker(index, latlng)
{
	var marker = g_markers.get(index);
	if (!marker) {
		marker = L.marker(latlng || poiLatLng(index), {
			draggable: true, title: g_names[index], alt: g_names[index], icon: g_icons.normal
		});
		marker.qfIndex = index;
		marker.qfChanged = false;   // moved, or given a new memo, and not yet sent
		marker.qfNewMemo = null;
		marker.qfLookup = null;     // the address lookup under way
		marker.on(kMarkerEvents);
		g_markers.set(index, marker);
		marker.addTo(g_map);
	} else if (latlng && !marker.qfChanged) {
		marker.setLatLng(latlng);
	}
	return marker;
}

function dropMarker(index)
{
	var marker = g_markers.get(index);
	if (marker) {
		marker.remove();
		g_markers.delete(index);
	}
}

function onMarkerClick(index)
{
	queueMessage(poiMessage(3, identity(index)));
	openInfoWindow(index, false);
}

function onMarkerMoved(index)
{
	var marker = markerOf(index);
	marker.qfChanged = true;
	marker.setIcon(g_icons.moved);
	lookUpAddress(index);
	openInfoWindow(index, false);
}

// Back to the recorded place and memo, no longer changed.
function settle(index)
{
	var marker = markerOf(index);
	marker.qfChanged = false;
	marker.qfNewMemo = null;
	marker.qfLookup = null;
	marker.setLatLng(poiLatLng(index));
	marker.setIcon(g_icons.normal);
	redrawSoon();
}

function removePoi(index)
{
	if (g_popupIndex === index)
		closeInfoWindow();
	dropMarker(index);
	g_names[index] = g_tels[index] = g_memos[index] = null;
	redrawSoon();
}

// Centres the map on the POI, zoomed in until it stands alone, and opens its info window.
function revealPoi(index)
{
	var zoom = standAloneZoom(index);
	g_popupIndex = index;  // pins it: the view drawn next gives it its marker
	g_map.setView(placeMarker(index, null).getLatLng(), zoom, { animate: false });
	openInfoWindow(index, false);
}

// ---- Finding POIs the editor names ----

function showPoi(name, lng, lat, tel, memo)
{
	var index = findPoi(name, lng, lat, tel, memo) || addPoi(name, lng, lat, tel, memo);
	if (index)
		revealPoi(index);
	else
		closeInfoWindow();
}

function removeNamedPoi(name, lng, lat, tel, memo)
{
	var index = findPoi(name, lng, lat, tel, memo);
	if (index)
		removePoi(index);
}

function findPoi(name, lng, lat, tel, memo)
{
	var plainLng = plainCoordinate(lng), plainLat = plainCoordinate(lat);
	if (plainLng === null || plainLat === null)
		return 0;
	for (var i = 1; i < g_names.length; i++) {
		if (g_names[i] === name && g_tels[i] === tel && g_memos[i] === memo &&
				fixed(g_lngs[i]) === plainLng && fixed(g_lats[i]) === plainLat)
			return i;
	}
	return 0;
}

function addPoi(name, lng, lat, tel, memo)
{
	var longitude = plainCoordinate(lng), latitude = plainCoordinate(lat);
	if (longitude === null || latitude === null || Math.abs(longitude) > 180 || Math.abs(latitude) > 90)
		return 0;
	return AddMarker(name, latitude, longitude, tel, memo);
}

// The index of a POI still on the map, or 0.
function poiAt(index)
{
	index = Number(index);
	return Number.isInteger(index) && index > 0 && index < g_names.length && g_names[index] !== null ? index : 0;
}

// The recorded place, in the copy of the world nearest the view.
function poiLatLng(index)
{
	return L.latLng(g_lats[index], nearestCopy(g_lngs[index], g_map.getCenter().lng));
}

// Where the POI stands now: where its marker was dropped, or its recorded place.
function currentLatLng(index)
{
	var marker = markerOf(index);
	return marker && marker.qfChanged ? marker.getLatLng().wrap() : L.latLng(g_lats[index], g_lngs[index]);
}

// The five texts that identify a marker's row to the editor: its recorded name, lng, lat, tel, memo.
function identity(index)
{
	return [g_names[index], fixed(g_lngs[index]), fixed(g_lats[index]), g_tels[index], g_memos[index]];
}

// The marker as it shows now: where it stands and the memo it offers.
function currentFields(index)
{
	var position = currentLatLng(index);
	return [g_names[index], fixed(position.lng), fixed(position.lat), g_tels[index], shownMemo(index)];
}

function shownMemo(index)
{
	var marker = markerOf(index);
	return marker && marker.qfNewMemo !== null ? marker.qfNewMemo : g_memos[index];
}

function poiMessage(code, fields)
{
	return ["<", String(code)].concat(fields).join("\t");
}

// ---- Moved markers ----

// The next changed marker from index k + 1 on sends its update; 0 when there is none.
function sendNextUpdate(k)
{
	var next = 0;
	g_markers.forEach(function (marker, index) {
		if (marker.qfChanged && index > k && (!next || index < next))
			next = index;
	});
	if (next)
		sendUpdate(next);
	return next;
}

// Tells the editor the marker's new place and memo; these become the marker's recorded texts.
function sendUpdate(index)
{
	var position = currentLatLng(index);
	var memo = shownMemo(index);
	queueMessage(poiMessage(2, identity(index).concat([fixed(position.lng), fixed(position.lat), memo])));
	g_lats[index] = position.lat;
	g_lngs[index] = position.lng;
	g_memos[index] = memo;
	settle(index);
	if (g_popupIndex === index)
		refreshInfoWindow();
}

// With memo updating on, a moved marker offers the address of its new place as its memo.
function lookUpAddress(index)
{
	if (!e_bUpdateMemo || e_bRichPoiFile || !e_szGeocoderUrl)
		return;
	var marker = markerOf(index);
	var position = currentLatLng(index);
	var url = e_szGeocoderUrl + "/reverse?format=jsonv2&lat=" + position.lat.toFixed(6) +
		"&lon=" + position.lng.toFixed(6) + "&accept-language=" + encodeURIComponent(e_szMapLang);
	marker.qfLookup = url;
	fetch(url)
		.then(function (reply) { return reply.ok ? reply.json() : null; })
		.then(function (place) {
			if (markerOf(index) !== marker || marker.qfLookup !== url || !place || typeof place.display_name !== "string")
				return;
			marker.qfNewMemo = oneLine(place.display_name);
			if (g_popupIndex === index)
				refreshInfoWindow();
		})
		.catch(function () {});
}

function undoAllMoves()
{
	g_markers.forEach(function (marker, index) {
		if (marker.qfChanged)
			settle(index);
	});
	refreshInfoWindow();
	queueMessage("<\t3");
}

// ---- The info window and its links ----
// The links' handlers return nothing: a javascript: link that yields a value replaces the page.

function OnAdd(i) { var index = poiAt(i); if (index) queueMessage(poiMessage(0, currentFields(index))); }
function OnInsert(i) { var index = poiAt(i); if (index) queueMessage(poiMessage(1, currentFields(index))); }
function OnRemove(i) { var index = poiAt(i); if (index) removePoi(index); }
function OnClose(i) { closeInfoWindow(); }

function OnUpdate(i)
{
	var index = poiAt(i);
	if (index && markerOf(index) && markerOf(index).qfChanged)
		sendUpdate(index);
}

function OnUndo(i)
{
	var index = poiAt(i);
	if (index && markerOf(index) && markerOf(index).qfChanged) {
		settle(index);
		openInfoWindow(index, false);
	}
}

function OnDelete(i)
{
	var index = poiAt(i);
	if (!index)
		return;
	queueMessage(poiMessage(4, identity(index)));
	removePoi(index);
}

function OnSearch(i)
{
	var index = poiAt(i);
	if (!index)
		return;
	g_map.fitBounds(currentLatLng(index).toBounds(2 * kSearchRadius));
	openInfoWindow(index, true);
}

// The window hangs from the POI's marker, which it pins to the map.
function openInfoWindow(index, withNearby)
{
	g_popupIndex = index;
	g_popupNearby = withNearby;
	g_popup.setLatLng(placeMarker(index, null).getLatLng()).setContent(buildInfoWindow(index, withNearby));
	if (!g_map.hasLayer(g_popup))
		g_popup.openOn(g_map);
}

function refreshInfoWindow()
{
	var index = poiAt(g_popupIndex);
	if (index)
		openInfoWindow(index, g_popupNearby);
}

function closeInfoWindow()
{
	g_map.closePopup(g_popup);
	g_popupIndex = 0;
}

function buildInfoWindow(index, withNearby)
{
	var box = element("div");
	box.id = "InfoWnd";
	var name = element("div", "PoiName", g_names[index]);
	onFieldDoubleClick(name, index, 0);
	box.appendChild(name);

	var position = currentLatLng(index);
	var rows = [["Lng", formatCoordinate(position.lng, true), 1], ["Lat", formatCoordinate(position.lat, false), 2]];
	if (!e_bLngFirst)
		rows.reverse();
	rows.push(["Tel", g_tels[index], 3], ["Memo", shownMemo(index), 4]);
	var table = element("table", "Fields");
	for (var i = 0; i < rows.length; i++) {
		var row = element("tr");
		row.appendChild(element("th", "", rows[i][0]));
		row.appendChild(element("td", "", rows[i][1]));
		onFieldDoubleClick(row, index, rows[i][2]);
		table.appendChild(row);
	}
	box.appendChild(table);
	var changed = markerOf(index).qfChanged;
	if (changed)
		box.appendChild(element("div", "Moved", "Moved: Update writes the new place to the POI."));
	box.appendChild(buildLinks(index, changed));
	if (withNearby)
		box.appendChild(buildNearbyList(index));
	return box;
}

// A double click on a field asks the editor to edit that cell.
function onFieldDoubleClick(node, index, column)
{
	node.title = "Double-click to edit in the table";
	node.addEventListener("dblclick", function () {
		queueMessage(poiMessage(5, identity(index).concat([String(column)])));
	});
}

function buildLinks(index, changed)
{
	var handlers = ["OnAdd", "OnInsert", "OnRemove"];
	if (changed)
		handlers.push("OnUpdate", "OnUndo");
	handlers.push("OnDelete", "OnSearch", "OnClose");
	var links = element("div", "Links");
	for (var i = 0; i < handlers.length; i++) {
		var link = element("a", "", kLinkNames[handlers[i]]);
		link.setAttribute("href", "javascript:" + handlers[i] + "(" + index + ")");
		links.appendChild(link);
	}
	return links;
}

// The markers within the search radius, nearest first; a click shows one.
function buildNearbyList(index)
{
	var centre = currentLatLng(index);
	var nearby = [];
	for (var i = 1; i < g_names.length; i++) {
		if (i === index || g_names[i] === null)
			continue;
		if (Math.abs(g_lats[i] - centre.lat) > kSearchDegrees && !g_markers.has(i))
			continue;  // too far north or south, unless its marker may have been moved
		var metres = centre.distanceTo(currentLatLng(i));
		if (metres <= kSearchRadius)
			nearby.push({ index: i, metres: metres });
	}
	nearby.sort(function (a, b) { return a.metres - b.metres; });

	var box = element("div", "Nearby");
	if (!nearby.length) {
		box.appendChild(element("div", "", "No POIs within " + formatDistance(kSearchRadius) + "."));
		return box;
	}
	var list = element("ol");
	for (var j = 0; j < nearby.length && j < kNearbyShown; j++)
		list.appendChild(nearbyItem(nearby[j].index, nearby[j].metres));
	box.appendChild(list);
	if (nearby.length > kNearbyShown)
		box.appendChild(element("div", "", "… and " + (nearby.length - kNearbyShown) + " more."));
	return box;
}

function nearbyItem(index, metres)
{
	var item = element("li", "", g_names[index]);
	item.appendChild(element("span", "Distance", formatDistance(metres)));
	item.addEventListener("click", function () {
		if (poiAt(index))
			revealPoi(index);
	});
	return item;
}

// ---- The map's own menu ----

function showMapMenu(e)
{
	hideMapMenu();
	g_menu = element("div");
	g_menu.id = "MapMenu";
	addMenuItem("Add a POI here", function () { addPoiAt(e.latlng); });
	addMenuItem("Update all moved markers", function () { queueMessage("<\t2"); });
	addMenuItem("Undo all marker moves", undoAllMoves);
	g_menu.style.left = e.containerPoint.x + "px";
	g_menu.style.top = e.containerPoint.y + "px";
	L.DomEvent.disableClickPropagation(g_menu);
	L.DomEvent.on(g_menu, "contextmenu", L.DomEvent.stop);
	g_map.getContainer().appendChild(g_menu);
}

function addMenuItem(label, action)
{
	var item = element("div", "MenuItem", label);
	item.addEventListener("click", function () {
		hideMapMenu();
		action();
	});
	g_menu.appendChild(item);
}

function hideMapMenu()
{
	if (g_menu)
		g_menu.remove();
	g_menu = null;
}

function addPoiAt(latlng)
{
	var name = prompt("Name of the new POI:", "");
	if (!name || !oneLine(name).trim())
		return;
	var position = latlng.wrap();
	queueMessage(poiMessage(0, [oneLine(name), fixed(position.lng), fixed(position.lat), "", ""]));
}

// ---- The remembered view ----

function setUseCookie(on)
{
	e_bUseCookie = on;
	if (on)
		rememberView();
	else
		try { localStorage.removeItem(kViewKey); } catch (error) {}
}

function rememberView()
{
	if (!e_bUseCookie || !g_map)
		return;
	var centre = g_map.getCenter();
	try {
		localStorage.setItem(kViewKey, JSON.stringify({ lat: centre.lat, lng: centre.lng, zoom: g_map.getZoom() }));
	} catch (error) {}
}

function restoreView()
{
	if (!e_bUseCookie)
		return false;
	try {
		var view = JSON.parse(localStorage.getItem(kViewKey));
		if (!view || !isFinite(view.lat) || !isFinite(view.lng) || !isFinite(view.zoom))
			return false;
		g_map.setView([view.lat, view.lng], view.zoom);
		return true;
	} catch (error) {
		return false;
	}
}

// ---- Texts ----

function element(tag, className, content)
{
	var node = document.createElement(tag);
	if (className)
		node.className = className;
	if (content !== undefined)
		node.textContent = content;
	return node;
}

function text(value)
{
	return value === undefined || value === null ? "" : String(value);
}

// Fields are joined by tabs: a text sent to the editor keeps to one line without tabs.
function oneLine(value)
{
	return String(value).replace(/[\t\r\n]+/g, " ");
}

// A coordinate as the editor writes it: five decimals, and never a negative zero.
function fixed(degrees)
{
	var result = Number(degrees).toFixed(5);
	return result === "-0.00000" ? "0.00000" : result;
}

// The editor's plain decimal text in the same form, or null when it is no number.
function plainCoordinate(value)
{
	if (value.trim() === "" || !isFinite(Number(value)))
		return null;
	return fixed(Number(value));
}

// As the table shows coordinates: decimal or degrees, minutes and seconds, signs or compass letters.
function formatCoordinate(degrees, isLongitude)
{
	var result = e_bDmsFormat ? formatDms(degrees) : fixed(degrees);
	if (!e_bCompassDir)
		return result;
	var negative = result.charAt(0) === "-";
	var letter = isLongitude ? (negative ? "W" : "E") : (negative ? "S" : "N");
	return letter + " " + (negative ? result.substring(1) : result);
}

function formatDms(degrees)
{
	// Rounded to whole units of 0.00001 degree first; the nudge of half a hundredth of a second
	// makes the truncations below round to the nearest hundredth.
	var units = Math.trunc(Math.abs(degrees) * 100000 + 0.5);
	var rest = units / 100000 + 1.388888888888889e-06;
	var d = Math.trunc(rest); rest = (rest - d) * 60;
	var m = Math.trunc(rest); rest = (rest - m) * 60;
	var s = Math.trunc(rest);
	var h = Math.trunc((rest - s) * 100);
	var sign = degrees < 0 && units > 0 ? "-" : "";
	return sign + d + "\u00B0 " + twoDigits(m) + "' " + twoDigits(s) + "." + twoDigits(h) + "\"";
}

function twoDigits(n)
{
	return (n < 10 ? "0" : "") + n;
}

function formatDistance(metres)
{
	if (e_bMetricUnit)
		return metres < 1000 ? Math.trunc(metres) + " m" : (metres / 1000).toFixed(1) + " km";
	return metres <= 160 ? Math.trunc(metres * 3.28084) + " ft" : (metres / 1609.344).toFixed(1) + " mi";
}
