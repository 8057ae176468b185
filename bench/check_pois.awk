# Writes n POIs as csv (Lng,Lat,Name) for timing the checks; shape is one of
#   world      60 % spread over the globe, 40 % around 300 cities
#   city       all around one city
#   one-place  every POI at the same place with the same name
# A third of the names elsewhere are chain names, most with a branch number ("Shell 123"), so
# that many names occur in others; the rest are random letters.
BEGIN {
  srand(7)
  nchains = split("Shell Aral Esso Total McDonalds Burger King Lidl Aldi Rewe Edeka Ikea Subway " \
                  "Starbucks Hilton Ibis Novotel Apotheke Post Bank Sparkasse Kiosk Cafe Hotel Parkplatz", chain, " ")
  letters = "abcdefghijklmnopqrstuvwxyz  ABCDEFGHIJKLMNOPQRSTUVWXYZ"
  for (c = 1; c <= 300; c++) { cityLng[c] = -180 + 360 * rand(); cityLat[c] = -60 + 130 * rand() }
  cityLng[0] = 4.9; cityLat[0] = 52.37
  for (i = 0; i < n; i++) {
    if (shape == "one-place") { printf "4.90000,52.37000,Same place\n"; continue }
    if (shape == "city" || rand() < 0.4) {
      c = shape == "city" ? 0 : int(rand() * 300) + 1
      lng = cityLng[c] + (rand() + rand() + rand() - 1.5) * 0.15
      lat = cityLat[c] + (rand() + rand() + rand() - 1.5) * 0.1
    } else {
      lng = -180 + 360 * rand(); lat = -90 + 180 * rand()
    }
    if (lng > 180) lng -= 360
    if (lng < -180) lng += 360
    if (rand() < 0.3) {
      name = chain[int(rand() * nchains) + 1] (rand() < 0.8 ? " " int(rand() * 5000) : "")
    } else {
      name = ""
      for (k = 8 + int(rand() * 14); k > 0; k--) name = name substr(letters, int(rand() * length(letters)) + 1, 1)
    }
    printf "%.5f,%.5f,%s\n", lng, lat, name
  }
}
