#pragma once

#include "ulvo/convert/messages.h"

namespace ulvo {

// Every text the GIS export and import say, shown the same by the window and ulvo-cli. The
// argument goes in "%s"; GDAL's and PROJ's own words and the files go in the detail.

// --- coordinate systems ---
inline constexpr TextId kGisCrsMissing{"IDS_GIS_CRS_MISSING",
                                       "Choose the job's coordinate system."};
inline constexpr TextId kGisCrsUnknown{"IDS_GIS_CRS_UNKNOWN",
                                       "Coordinate system not known to PROJ: %s"};
inline constexpr TextId kGisCrsAmbiguous{
    "IDS_GIS_CRS_AMBIGUOUS",
    "More than one coordinate system has that name; give its EPSG code: %s"};
inline constexpr TextId kGisCrsNoVertical{"IDS_GIS_CRS_NO_VERTICAL",
                                          "Not a vertical coordinate system: %s"};
inline constexpr TextId kGisCrsNotPlanar{
    "IDS_GIS_CRS_NOT_PLANAR",
    "The job's coordinates are metres or feet on a map grid: choose a projected coordinate "
    "system, not %s."};
inline constexpr TextId kGisCrsMissingGrid{
    "IDS_GIS_CRS_MISSING_GRID",
    "The transformation needs the grid %s, which PROJ does not have (put it in PROJ's data "
    "folder or allow PROJ's network access)."};
inline constexpr TextId kGisCrsNoTransformation{"IDS_GIS_CRS_NO_TRANSFORMATION",
                                                "PROJ knows no transformation from %s."};
inline constexpr TextId kGisCrsPointNotTransformed{"IDS_GIS_CRS_POINT_NOT_TRANSFORMED",
                                                   "PROJ cannot transform the point %s."};
inline constexpr TextId kGisCrsNoMatch{"IDS_GIS_CRS_NO_MATCH",
                                       "No coordinate system has that name."};

// --- export ---
inline constexpr TextId kGisNoPoints{"IDS_GIS_NO_POINTS", "No points with coordinates in %s."};
inline constexpr TextId kGisUnknownFormat{"IDS_GIS_UNKNOWN_FORMAT",
                                          "Not a GIS file format ULVO writes: %s"};
inline constexpr TextId kGisOneLayer{
    "IDS_GIS_ONE_LAYER", "%s holds one layer: a layer per code needs GeoPackage or KML."};
inline constexpr TextId kGisCannotWrite{"IDS_GIS_CANNOT_WRITE", "GDAL cannot write %s"};
inline constexpr TextId kGisCannotSave{"IDS_GIS_CANNOT_SAVE", "Saving aborted: %s"};
inline constexpr TextId kGisWritten{"IDS_GIS_WRITTEN", "Points written to GIS: %s"};
inline constexpr TextId kGisUnreadableNote{
    "IDS_GIS_UNREADABLE_NOTE", "Records left out, their northing or easting not a number: %s"};
inline constexpr TextId kGisStopsNote{
    "IDS_GIS_STOPS_NOTE",
    "The file stops matching the format at line %s: only the records before are exported."};

// --- import ---
inline constexpr TextId kGisCannotRead{"IDS_GIS_CANNOT_READ", "GDAL cannot read %s"};
inline constexpr TextId kGisNoFeatures{"IDS_GIS_NO_FEATURES",
                                       "No points, lines or polygons in %s."};
inline constexpr TextId kGisTooManyPoints{"IDS_GIS_TOO_MANY_POINTS",
                                          "More points than ULVO takes in one document in %s."};
inline constexpr TextId kGisNameCharacter{"IDS_GIS_NAME_CHARACTER",
                                          "Point names with a character the data cannot hold: %s"};
inline constexpr TextId kGisNoCrsNote{
    "IDS_GIS_NO_CRS_NOTE",
    "The layer %s names no coordinate system: its coordinates are taken as the job's."};
inline constexpr TextId kGisNoPointRecord{
    "IDS_GIS_NO_POINT_RECORD",
    "The format %s has no record holding a northing and an easting: it cannot take points."};
inline constexpr TextId kGisNotWritable{"IDS_GIS_NOT_WRITABLE",
                                        "Points the format cannot write: %s"};
inline constexpr TextId kGisTooWide{"IDS_GIS_TOO_WIDE",
                                    "Values wider than the format's fields: %s"};
inline constexpr TextId kGisImported{"IDS_GIS_IMPORTED",
                                     "Points from GIS written with the format: %s"};

// --- both ---
inline constexpr TextId kGisChooseFile{"IDS_GIS_CHOOSE_FILE", "Choose the file."};
inline constexpr TextId kGisNoFormat{"IDS_GIS_NO_FORMAT", "No format named %s."};
inline constexpr TextId kGisSourceUnread{"IDS_GIS_SOURCE_UNREAD", "Cannot read %s"};

// --- the Convert window's buttons and the dialog ---
inline constexpr TextId kCnvToGisBtn{"IDC_CNV_TO_GIS_BTN", "to &GIS..."};
inline constexpr TextId kCnvToGisSource{"IDS_CNV_TO_GIS_SOURCE", "The &source to GIS..."};
inline constexpr TextId kCnvToGisTarget{"IDS_CNV_TO_GIS_TARGET", "The &target to GIS..."};
inline constexpr TextId kCnvFromGisBtn{"IDC_CNV_FROM_GIS_BTN", "from GI&S..."};
inline constexpr TextId kGisNeedsTarget{
    "IDS_GIS_NEEDS_TARGET",
    "Choose the target's format and file first: the points from GIS are written as the target."};
inline constexpr TextId kGisExportTitle{"IDS_GIS_EXPORT_TITLE", "Export to GIS"};
inline constexpr TextId kGisImportTitle{"IDS_GIS_IMPORT_TITLE", "Import from GIS"};
inline constexpr TextId kGisFormatLabel{"IDC_GIS_FORMAT", "&Format:"};
inline constexpr TextId kGisFileLabel{"IDC_GIS_FILE", "File &name:"};
inline constexpr TextId kGisCrsLabel{"IDC_GIS_CRS", "&Coordinate system:"};
inline constexpr TextId kGisCrsHint{"IDS_GIS_CRS_HINT", "EPSG:28992, EPSG:28992+5709 or a name"};
inline constexpr TextId kGisSearchBtn{"IDC_GIS_SEARCH_BTN", "&Search"};
inline constexpr TextId kGisLayerByCode{"IDC_GIS_LAYER_BY_CODE", "A &layer per code"};
inline constexpr TextId kGisDeprecated{"IDS_GIS_DEPRECATED", "deprecated"};
inline constexpr TextId kGisOkBtn{"IDC_GIS_OK_BTN", "OK"};
inline constexpr TextId kGisCancelBtn{"IDC_GIS_CANCEL_BTN", "Cancel"};

}  // namespace ulvo
