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
var kNearbyShown = 20;
var kLinkNames = {
	OnAdd: "Add", OnInsert: "Insert", OnRemove: "Remove", OnUpdate: "Update", OnUndo: "Undo",
	OnDelete: "Delete", OnSearch: "Search nearby", OnClose: "Close"
};

var host = null;            // the editor's object on the web channel, once connected
var g_messages = [];        // messages for the editor, oldest first
var g_records = [];         // every marker's POI; a marker's index is its place here + 1; null once gone
var g_map = null;
var g_cluster = null;
var g_scale = null;
var g_popup = null;
var g_popupIndex = 0;       // the marker whose info window is open, 0 for none
var g_popupNearby = false;  // whether that window lists the markers nearby
var g_menu = null;
var g_centreRequest = 0;    // counts the requests to centre a marker; only the latest is served
var g_loading = false;      // markers are still being added in chunks
var g_removedWhileLoading = [];
var g_icons = null;

// ---- The contract with the editor ----

// Called once per POI from LoadMarker, up to a million times: only records, OnLoad places them.
function AddMarker(szName, iLat, iLng, szTel, szMemo)
{
	var record = {
		index: g_records.length + 1, name: String(szName), lat: Number(iLat), lng: Number(iLng),
		tel: String(szTel), memo: String(szMemo), newMemo: null, changed: false, marker: null
	};
	g_records.push(record);
	return record;
}

function OnLoad()
{
	try {
		if (typeof L === "undefined" || typeof L.markerClusterGroup !== "function")
			throw new Error("the map library (Leaflet with its marker clusters) could not be loaded.");
		createMap();
		LoadMarker(null);
		showStartView();
		placeAllMarkers();
		connectHost();
	} catch (error) {
		alert("The map could not be shown: " + (error && error.message ? error.message : error));
		queueMessage(kTerminate);
		return;
	}
	queueMessage(kProgramTitle);
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
	case 1: removePoi(text(szName), text(szLng), text(szLat), text(szTel), text(szMemo)); break;
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
	showScale();
	g_popup = L.popup({ offset: [0, -34], minWidth: 200, maxWidth: 360 });
	g_map.on("popupclose", function () { g_popupIndex = 0; });
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
	var bounds = boundsOfRecords();
	if (!bounds)
		g_map.setView([20, 0], 2);
	else
		g_map.fitBounds(bounds, { padding: [40, 40], maxZoom: 16 });
}

function boundsOfRecords()
{
	var south = 90, west = 180, north = -90, east = -180, found = false;
	for (var i = 0; i < g_records.length; i++) {
		var record = g_records[i];
		if (!record)
			continue;
		south = Math.min(south, record.lat); north = Math.max(north, record.lat);
		west = Math.min(west, record.lng); east = Math.max(east, record.lng);
		found = true;
	}
	return found ? L.latLngBounds([south, west], [north, east]) : null;
}

// Markers go to the map in chunks, so a large document never stalls the page.
function placeAllMarkers()
{
	g_cluster = L.markerClusterGroup({ chunkedLoading: true, chunkProgress: onChunkPlaced });
	g_map.addLayer(g_cluster);
	var markers = new Array(g_records.length);
	for (var i = 0; i < g_records.length; i++)
		markers[i] = createMarker(g_records[i]);
	g_loading = markers.length > 0;
	g_cluster.addLayers(markers);
}

function onChunkPlaced(placed, total)
{
	if (placed < total)
		return;
	g_loading = false;
	g_cluster.removeLayers(g_removedWhileLoading);
	g_removedWhileLoading = [];
}

var kMarkerEvents = {
	click: function (e) { onMarkerClick(e.target.qfRecord); },
	dragstart: function (e) { if (g_popupIndex === e.target.qfRecord.index) closeInfoWindow(); },
	dragend: function (e) { onMarkerMoved(e.target.qfRecord); }
};

function createMarker(record)
{
	var marker = L.marker([record.lat, record.lng], {
		draggable: true, title: record.name, alt: record.name, icon: g_icons.normal
	});
	marker.qfRecord = record;
	marker.on(kMarkerEvents);
	record.marker = marker;
	return marker;
}

function onMarkerClick(record)
{
	queueMessage(poiMessage(3, identity(record)));
	openInfoWindow(record, false);
}

function onMarkerMoved(record)
{
	record.changed = true;
	record.marker.setIcon(g_icons.moved);
	lookUpAddress(record);
	openInfoWindow(record, false);
}

// Back to the recorded place and memo, no longer changed.
function settle(record)
{
	record.changed = false;
	record.newMemo = null;
	record.lookup = null;
	record.marker.setLatLng([record.lat, record.lng]);
	record.marker.setIcon(g_icons.normal);
}

function removeRecord(record)
{
	if (g_popupIndex === record.index)
		closeInfoWindow();
	if (g_loading && !g_cluster.hasLayer(record.marker))
		g_removedWhileLoading.push(record.marker);
	g_cluster.removeLayer(record.marker);
	g_records[record.index - 1] = null;
}

// Zooms in until the marker is out of its cluster. A zoom still under way for an earlier marker
// must not pull the map back to that one when it ends.
function centreOn(record)
{
	var marker = record.marker;
	var request = ++g_centreRequest;
	if (g_cluster.hasLayer(marker))
		g_cluster.zoomToShowLayer(marker, function () {
			if (request === g_centreRequest)
				g_map.panTo(marker.getLatLng());
		});
	else
		g_map.setView(marker.getLatLng(), Math.max(g_map.getZoom(), 16));
}

// ---- Finding POIs the editor names ----

function showPoi(name, lng, lat, tel, memo)
{
	var record = findRecord(name, lng, lat, tel, memo) || addRecord(name, lng, lat, tel, memo);
	if (!record) {
		closeInfoWindow();
		return;
	}
	centreOn(record);
	openInfoWindow(record, false);
}

function removePoi(name, lng, lat, tel, memo)
{
	var record = findRecord(name, lng, lat, tel, memo);
	if (record)
		removeRecord(record);
}

function findRecord(name, lng, lat, tel, memo)
{
	var plainLng = plainCoordinate(lng), plainLat = plainCoordinate(lat);
	if (plainLng === null || plainLat === null)
		return null;
	for (var i = 0; i < g_records.length; i++) {
		var record = g_records[i];
		if (record && record.name === name && record.tel === tel && record.memo === memo &&
				fixed(record.lng) === plainLng && fixed(record.lat) === plainLat)
			return record;
	}
	return null;
}

function addRecord(name, lng, lat, tel, memo)
{
	var longitude = plainCoordinate(lng), latitude = plainCoordinate(lat);
	if (longitude === null || latitude === null || Math.abs(longitude) > 180 || Math.abs(latitude) > 90)
		return null;
	var record = AddMarker(name, latitude, longitude, tel, memo);
	g_cluster.addLayer(createMarker(record));
	return record;
}

function recordAt(index)
{
	return g_records[Number(index) - 1] || null;
}

// The five texts that identify a marker's row to the editor: its recorded name, lng, lat, tel, memo.
function identity(record)
{
	return [record.name, fixed(record.lng), fixed(record.lat), record.tel, record.memo];
}

// The marker as it shows now: where it stands and the memo it offers.
function currentFields(record)
{
	var position = record.marker.getLatLng().wrap();
	return [record.name, fixed(position.lng), fixed(position.lat), record.tel, shownMemo(record)];
}

function shownMemo(record)
{
	return record.newMemo !== null ? record.newMemo : record.memo;
}

function poiMessage(code, fields)
{
	return ["<", String(code)].concat(fields).join("\t");
}

// ---- Moved markers ----

// The next changed marker from index k + 1 on sends its update; 0 when there is none.
function sendNextUpdate(k)
{
	for (var i = Math.max(k, 0); i < g_records.length; i++) {
		if (g_records[i] && g_records[i].changed) {
			sendUpdate(g_records[i]);
			return i + 1;
		}
	}
	return 0;
}

// Tells the editor the marker's new place and memo; these become the marker's recorded texts.
function sendUpdate(record)
{
	var position = record.marker.getLatLng().wrap();
	var memo = shownMemo(record);
	queueMessage(poiMessage(2, identity(record).concat([fixed(position.lng), fixed(position.lat), memo])));
	record.lat = position.lat;
	record.lng = position.lng;
	record.memo = memo;
	settle(record);
	if (g_popupIndex === record.index)
		refreshInfoWindow();
}

// With memo updating on, a moved marker offers the address of its new place as its memo.
function lookUpAddress(record)
{
	if (!e_bUpdateMemo || e_bRichPoiFile || !e_szGeocoderUrl)
		return;
	var position = record.marker.getLatLng().wrap();
	var url = e_szGeocoderUrl + "/reverse?format=jsonv2&lat=" + position.lat.toFixed(6) +
		"&lon=" + position.lng.toFixed(6) + "&accept-language=" + encodeURIComponent(e_szMapLang);
	record.lookup = url;
	fetch(url)
		.then(function (reply) { return reply.ok ? reply.json() : null; })
		.then(function (place) {
			if (record.lookup !== url || !place || typeof place.display_name !== "string")
				return;
			record.newMemo = oneLine(place.display_name);
			if (g_popupIndex === record.index)
				refreshInfoWindow();
		})
		.catch(function () {});
}

function undoAllMoves()
{
	for (var i = 0; i < g_records.length; i++) {
		if (g_records[i] && g_records[i].changed)
			settle(g_records[i]);
	}
	refreshInfoWindow();
	queueMessage("<\t3");
}

// ---- The info window and its links ----
// The links' handlers return nothing: a javascript: link that yields a value replaces the page.

function OnAdd(i) { var record = recordAt(i); if (record) queueMessage(poiMessage(0, currentFields(record))); }
function OnInsert(i) { var record = recordAt(i); if (record) queueMessage(poiMessage(1, currentFields(record))); }
function OnRemove(i) { var record = recordAt(i); if (record) removeRecord(record); }
function OnClose(i) { closeInfoWindow(); }

function OnUpdate(i)
{
	var record = recordAt(i);
	if (record && record.changed)
		sendUpdate(record);
}

function OnUndo(i)
{
	var record = recordAt(i);
	if (record && record.changed) {
		settle(record);
		openInfoWindow(record, false);
	}
}

function OnDelete(i)
{
	var record = recordAt(i);
	if (!record)
		return;
	queueMessage(poiMessage(4, identity(record)));
	removeRecord(record);
}

function OnSearch(i)
{
	var record = recordAt(i);
	if (!record)
		return;
	g_map.fitBounds(record.marker.getLatLng().toBounds(2 * kSearchRadius));
	openInfoWindow(record, true);
}

function openInfoWindow(record, withNearby)
{
	g_popup.setLatLng(record.marker.getLatLng()).setContent(buildInfoWindow(record, withNearby));
	if (!g_map.hasLayer(g_popup))
		g_popup.openOn(g_map);
	g_popupIndex = record.index;
	g_popupNearby = withNearby;
}

function refreshInfoWindow()
{
	var record = recordAt(g_popupIndex);
	if (record)
		openInfoWindow(record, g_popupNearby);
}

function closeInfoWindow()
{
	g_map.closePopup(g_popup);
	g_popupIndex = 0;
}

function buildInfoWindow(record, withNearby)
{
	var box = element("div");
	box.id = "InfoWnd";
	var name = element("div", "PoiName", record.name);
	onFieldDoubleClick(name, record, 0);
	box.appendChild(name);

	var position = record.marker.getLatLng().wrap();
	var rows = [["Lng", formatCoordinate(position.lng, true), 1], ["Lat", formatCoordinate(position.lat, false), 2]];
	if (!e_bLngFirst)
		rows.reverse();
	rows.push(["Tel", record.tel, 3], ["Memo", shownMemo(record), 4]);
	var table = element("table", "Fields");
	for (var i = 0; i < rows.length; i++) {
		var row = element("tr");
		row.appendChild(element("th", "", rows[i][0]));
		row.appendChild(element("td", "", rows[i][1]));
		onFieldDoubleClick(row, record, rows[i][2]);
		table.appendChild(row);
	}
	box.appendChild(table);
	if (record.changed)
		box.appendChild(element("div", "Moved", "Moved: Update writes the new place to the POI."));
	box.appendChild(buildLinks(record));
	if (withNearby)
		box.appendChild(buildNearbyList(record));
	return box;
}

// A double click on a field asks the editor to edit that cell.
function onFieldDoubleClick(node, record, column)
{
	node.title = "Double-click to edit in the table";
	node.addEventListener("dblclick", function () {
		queueMessage(poiMessage(5, identity(record).concat([String(column)])));
	});
}

function buildLinks(record)
{
	var handlers = ["OnAdd", "OnInsert", "OnRemove"];
	if (record.changed)
		handlers.push("OnUpdate", "OnUndo");
	handlers.push("OnDelete", "OnSearch", "OnClose");
	var links = element("div", "Links");
	for (var i = 0; i < handlers.length; i++) {
		var link = element("a", "", kLinkNames[handlers[i]]);
		link.setAttribute("href", "javascript:" + handlers[i] + "(" + record.index + ")");
		links.appendChild(link);
	}
	return links;
}

// The markers within the search radius, nearest first; a click shows one.
function buildNearbyList(record)
{
	var centre = record.marker.getLatLng();
	var nearby = [];
	for (var i = 0; i < g_records.length; i++) {
		var other = g_records[i];
		if (!other || other === record)
			continue;
		var metres = centre.distanceTo(other.marker.getLatLng());
		if (metres <= kSearchRadius)
			nearby.push({ record: other, metres: metres });
	}
	nearby.sort(function (a, b) { return a.metres - b.metres; });

	var box = element("div", "Nearby");
	if (!nearby.length) {
		box.appendChild(element("div", "", "No POIs within " + formatDistance(kSearchRadius) + "."));
		return box;
	}
	var list = element("ol");
	for (var j = 0; j < nearby.length && j < kNearbyShown; j++)
		list.appendChild(nearbyItem(nearby[j].record, nearby[j].metres));
	box.appendChild(list);
	if (nearby.length > kNearbyShown)
		box.appendChild(element("div", "", "… and " + (nearby.length - kNearbyShown) + " more."));
	return box;
}

function nearbyItem(record, metres)
{
	var item = element("li", "", record.name);
	item.appendChild(element("span", "Distance", formatDistance(metres)));
	item.addEventListener("click", function () {
		centreOn(record);
		openInfoWindow(record, false);
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
